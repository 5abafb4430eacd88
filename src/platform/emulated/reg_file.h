// Registry files (.reg) as the system's registry editor reads them: a text
// with the header "REGEDIT4" or "Windows Registry Editor Version 5.00", key
// lines "[HKEY_...\path]" that create keys and "[-HKEY_...\path]" that delete
// them with everything below, and value lines under a key:
//
//   "name"="text"            REG_SZ; \\ and \" stand for \ and "
//   @=...                    the key's default (unnamed) value
//   "name"=dword:0000002a    REG_DWORD
//   "name"=hex:01,02,...     REG_BINARY; a line ending in \ goes on on the next line
//   "name"=hex(n):...        a value of type n (hex(2) REG_EXPAND_SZ, hex(7) REG_MULTI_SZ)
//   "name"=-                 deletes the value
//   ; comment
//
// The whole file is parsed before anything is applied, so a malformed file
// is refused whole and changes nothing. Texts are in the machine's ANSI code
// page; a file that starts with a UTF-16 or UTF-8 byte order mark is read in
// that encoding. In a "Windows Registry Editor Version 5.00" file the bytes
// of hex(1), hex(2) and hex(7) data are UTF-16 text, which the import turns
// into the ANSI text the machine's registry holds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/emulated/registry_store.h"
#include "platform/types.h"

namespace emu {

struct RegFileOperation {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    HKEY root = nullptr;
    std::string keyPath;   // below the root; empty for the root itself
    std::string valueName; // empty for the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data; // as RegSetValueExA would be given it
    int line = 0;           // where the file asks for it
};

struct RegFileParse {
    bool valid = false;
    std::string problem; // why the file was refused: "line 7: ..."
    std::vector<RegFileOperation> operations;
};

// Parses the bytes of a registry file into the operations it asks for.
RegFileParse parseRegFile(const std::string &bytes);

// Applies parsed operations in order, with the registry's access rules: an
// operation on a key that refuses writing (or below which a new key cannot
// be created) is skipped, as the registry editor skips it. Returns the
// number of operations skipped.
std::size_t applyRegFile(Registry &registry, const std::vector<RegFileOperation> &operations);

} // namespace emu
