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
//
// A machine kept in a folder saves its registry as a registry file too (see
// registry_export.h): a "REGEDIT4" file, whose hex(n) data are the value's
// exact bytes, with one addition that only such files are read with: a key or
// value name that no plain name line could carry (one holding a line break or
// ending inside a double-byte character) is written as kHexNameMark followed
// by its bytes in hex, "?hex:41,0a,42". A name that itself begins with the
// mark is written that way too, so the form is never ambiguous. Such a file
// holds only what the writer writes: no deletions, each key once and each
// value of a key once; and it ends with kMachineStateEndLine, so that a file
// cut short is told from a smaller registry (files of earlier versions,
// which lack that line, are read without it).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "emulator/registry/registry_store.h"
#include "platform/types.h"

namespace emu {

// Where a registry file comes from, which decides how it is read.
enum class RegFileSource {
    Import,              // any registry file, read as the system's registry editor reads it
    MachineState,        // the registry of a machine folder, written by exportRegistry
    EarlierMachineState, // the same, written by an earlier version, without the end line
    MachineStateKey,     // one key's lines of that file, read through its index, which
                         // vouches that the file is whole (registry_base.h)
    MachineChanges,      // a machine folder's changes.reg: the edits since the registry file
                         // was last written whole, deletions and repeats included, in the
                         // order they were made, ending with kMachineChangesEndLine
};

constexpr const char *kHexNameMark = "?hex:";

// The last line of a machine folder's registry file: a comment, which the
// system's registry editor passes over.
constexpr const char *kMachineStateEndLine = "; end of registry.reg";
constexpr const char *kMachineChangesEndLine = "; end of changes.reg";

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

// Parses the bytes of a registry file into the operations it asks for. A key
// or value beyond Windows' size limits (registry_store.h) refuses the file,
// with its line. A machine folder's file may also hold names in the hex
// form; one written by an earlier version, with a "Version 5.00" header,
// keeps the bytes that version escaped as private-use characters.
RegFileParse parseRegFile(const std::string &bytes, RegFileSource source = RegFileSource::Import);

// Applies parsed operations in order, with the registry's access rules: an
// operation on a key that refuses writing (or below which a new key cannot
// be created) is skipped, as the registry editor skips it. Returns the
// number of operations skipped.
std::size_t applyRegFile(Registry &registry, const std::vector<RegFileOperation> &operations);

} // namespace emu
