// Writes the emulated registry as a "Windows Registry Editor Version 5.00"
// file: every key (empty ones too) in sorted order, each value in the form
// the registry editor reads back exactly.
#include <cstdio>
#include <string>

#include "platform/emulated/registry_export.h"
#include "platform/emulated/code_page.h"
#include "platform/mbtext.h"
#include "platform/system.h"

namespace emu {
namespace {

// A name or text in double quotes, a backslash and a quote escaped with a
// backslash. Only whole characters are escaped: the trail byte of a
// double-byte character of the machine's code page may be a backslash, and
// the registry file reader takes it as part of its character.
std::string quoted(const std::string &text) {
    std::string result = "\"";
    for (const char *p = text.c_str(); *p != '\0';) {
        const char *after = mbtext::next(p);
        if (after == p + 1 && (*p == '\\' || *p == '"')) {
            result += '\\';
        }
        result.append(p, after);
        p = after;
    }
    return result + "\"";
}

// True when the text's last byte begins a double-byte character that is cut
// off: in quotes, the reader would take the closing quote into it.
bool endsInsideCharacter(const std::string &text) {
    const char *last = nullptr;
    for (const char *p = text.c_str(); *p != '\0'; p = mbtext::next(p)) {
        last = p;
    }
    return last != nullptr && last[1] == '\0' && win::IsDBCSLeadByte(static_cast<BYTE>(*last));
}

// A REG_SZ that is one line of whole characters and its single terminator
// is written as a string; anything else keeps its exact bytes in hex.
bool isPlainText(const RegValue &value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
        const BYTE c = value.data[i];
        if (c == 0 || c == '\r' || c == '\n') {
            return false;
        }
    }
    return !endsInsideCharacter(std::string(value.data.begin(), value.data.end() - 1));
}

// The value's bytes in hex. In a "Version 5.00" file the data of the text
// types is UTF-16, which the reader turns back into the machine's ANSI text.
std::string hexData(const RegValue &value) {
    std::string result;
    if (value.type == REG_BINARY) {
        result = "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
        result = prefix;
    }
    std::string bytes(value.data.begin(), value.data.end());
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
        std::string wide;
        if (fromAnsi(bytes, wide)) {
            bytes = wide;
        }
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
        result += byte;
        if (i + 1 < bytes.size()) {
            result += ',';
        }
    }
    return result;
}

// The key's line and its values.
void writeValues(const RegKey &key, const std::string &path, std::string &out) {
    out += "[" + path + "]\r\n";
    for (const auto &[name, value] : key.values) {
        out += value.name.empty() ? std::string("@") : quoted(value.name);
        out += '=';
        if (isPlainText(value)) {
            out += quoted(std::string(value.data.begin(), value.data.end() - 1));
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            char number[24];
            const unsigned dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                   (static_cast<unsigned>(value.data[3]) << 24);
            std::snprintf(number, sizeof number, "dword:%08x", dword);
            out += number;
        } else {
            out += hexData(value);
        }
        out += "\r\n";
    }
    out += "\r\n";
}

void writeKey(const RegKey &key, const std::string &path, std::string &out) {
    writeValues(key, path, out);
    for (const auto &[name, child] : key.subkeys) {
        writeKey(*child, path + "\\" + child->name, out);
    }
}

} // namespace

std::string exportRegistry(Registry &registry) {
    std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (const auto &[root, name] : {std::pair{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                     std::pair{HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                                     std::pair{HKEY_USERS, "HKEY_USERS"}}) {
        const auto key = registry.root(root);
        if (!key->values.empty()) {
            writeValues(*key, name, out); // values set on the root itself
        }
        for (const auto &[childName, child] : key->subkeys) {
            writeKey(*child, std::string(name) + "\\" + child->name, out);
        }
    }
    return out;
}

} // namespace emu
