// Writes the emulated registry as a "REGEDIT4" file: every key (empty ones
// too) in sorted order, each value in a form that reads back as the same
// bytes. Text that is one line of whole characters is written in quotes, so
// that people can read the file; any other data is written as its exact
// bytes in hex, never converted, so that nothing depends on the code page.
#include <cstdio>
#include <cstring>
#include <string>

#include "emulator/persistence/machine_error.h"
#include "emulator/persistence/registry_export.h"
#include "emulator/registry/reg_file.h"
#include "emulator/registry/root_names.h"
#include "emulator/text.h"

namespace emu {
namespace {

// A name or text in double quotes, a backslash and a quote escaped with a
// backslash. Only whole characters are escaped: the trail byte of a
// double-byte character of the machine's code page may be a backslash, and
// the registry file reader takes it as part of its character.
std::string quoted(const std::string &text) {
    std::string result = "\"";
    for (const char *p = text.c_str(); *p != '\0';) {
        const char *after = nextCharacter(p);
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
    for (const char *p = text.c_str(); *p != '\0'; p = nextCharacter(p)) {
        last = p;
    }
    return last != nullptr && last[1] == '\0' && isLeadByte(static_cast<unsigned char>(*last));
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

// Bytes in hex, separated by commas.
std::string hexBytes(const std::string &bytes) {
    std::string result;
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

// The value's exact bytes: "hex:" for REG_BINARY, "hex(n):" for any other type.
std::string hexData(const RegValue &value) {
    char prefix[24] = "hex:";
    if (value.type != REG_BINARY) {
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    }
    return prefix + hexBytes(std::string(value.data.begin(), value.data.end()));
}

// Whether a name reads back as itself on a line of its own.
bool isPlainName(const std::string &name) {
    return name.find_first_of("\r\n") == std::string::npos && !endsInsideCharacter(name);
}

// A key or value name as a machine's file carries it: itself, or in the hex
// form when a line break, a cut-off character or the mark itself would make
// the plain name read back as another.
std::string nameText(const std::string &name) {
    if (isPlainName(name) && name.compare(0, std::strlen(kHexNameMark), kHexNameMark) != 0) {
        return name;
    }
    return kHexNameMark + hexBytes(name);
}

// A name as an export for the registry editor carries it: only plainly.
std::string plainName(const std::string &name) {
    if (!isPlainName(name)) {
        throw MachineError("a registry editor cannot import the name " +
                           hexBytes(name.substr(0, 64)) + " (in hex): it holds a line break or " +
                           "ends inside a character");
    }
    return name;
}

using NameText = std::string (*)(const std::string &);

// A value's line, without its end.
std::string valueLine(const RegValue &value, NameText nameText) {
    std::string out = value.name.empty() ? std::string("@") : quoted(nameText(value.name));
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
    return out;
}

// The key's line and its values.
void writeValues(const RegKey &key, const std::string &path, NameText nameText, std::string &out) {
    out += "[" + path + "]\r\n";
    for (const auto &[name, value] : key.values) {
        out += valueLine(value, nameText) + "\r\n";
    }
    out += "\r\n";
}

// A key's path as a machine's file names it; empty for a key no longer in
// the registry.
std::string machineFilePath(const RegKey &key) {
    std::vector<const RegKey *> chain;
    for (const RegKey *at = &key; at != nullptr; at = at->holder) {
        chain.push_back(at);
    }
    const std::string &top = chain.back()->name;
    if (top != "HKEY_LOCAL_MACHINE" && top != "HKEY_CURRENT_USER" && top != "HKEY_USERS") {
        return {};
    }
    std::string path = top;
    for (auto at = chain.rbegin() + 1; at != chain.rend(); ++at) {
        path += "\\" + nameText((*at)->name);
    }
    return path;
}

} // namespace

std::string exportRegistry(Registry &registry, std::vector<KeyLine> *lines) {
    std::string out = "REGEDIT4\r\n\r\n";
    int rootNumber = 0;
    const auto note = [&](std::size_t depth) {
        if (lines != nullptr) {
            lines->push_back({out.size(), depth, rootNumber});
        }
    };
    for (const RootName &rootName : kRootNames) {
        const HKEY root = rootName.root;
        const char *const name = rootName.longName;
        if (root == HKEY_CLASSES_ROOT) {
            continue;
        }
        const auto key = registry.root(root);
        if (!key->values.empty()) {
            note(0);
            writeValues(*key, name, nameText, out); // values set on the root itself
        }
        for (const auto &[childName, child] : key->subkeys) {
            const std::size_t topLevel = child->level;
            walkKeys(
                *child, std::string(name) + "\\" + nameText(child->name),
                [](const RegKey &below) { return nameText(below.name); },
                [&](const RegKey &below, const std::string &path) {
                    note(below.level - topLevel + 1);
                    writeValues(below, path, nameText, out);
                });
        }
        ++rootNumber;
    }
    return out + kMachineStateEndLine + "\r\n";
}

void writeEdit(const RegistryEdit &edit, std::string &out) {
    const std::string path = machineFilePath(*edit.key);
    if (path.empty()) {
        return; // below a key whose deletion is written already
    }
    switch (edit.kind) {
    case RegistryEdit::CreateKey:
        out += "[" + path + "]\r\n\r\n";
        break;
    case RegistryEdit::DeleteKey:
        out += "[-" + path + "]\r\n\r\n";
        break;
    case RegistryEdit::SetValue:
        out += "[" + path + "]\r\n" + valueLine(*edit.value, nameText) + "\r\n\r\n";
        break;
    case RegistryEdit::DeleteValue:
        out += "[" + path + "]\r\n" +
               (edit.valueName->empty() ? std::string("@") : quoted(nameText(*edit.valueName))) +
               "=-\r\n\r\n";
        break;
    }
}

std::string exportRegistryKeys(const std::vector<std::pair<const RegKey *, std::string>> &keys) {
    std::string out = "REGEDIT4\r\n\r\n";
    for (const auto &[key, path] : keys) {
        walkKeys(
            *key, path, [](const RegKey &below) { return plainName(below.name); },
            [&out](const RegKey &below, const std::string &belowPath) {
                if (below.holder != nullptr || !below.values.empty()) {
                    writeValues(below, belowPath, plainName, out);
                }
            });
    }
    return out;
}

} // namespace emu
