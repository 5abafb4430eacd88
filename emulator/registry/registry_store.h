// The emulated machine's registry: a case-insensitive tree of keys holding
// typed values, with per-key access rules that tests set.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "platform/types.h"

namespace emu {

struct RegValue {
    std::string name; // as first written, letter case kept
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;
    std::map<std::string, std::shared_ptr<RegKey>, CaseLess> subkeys;
    std::map<std::string, RegValue, CaseLess> values;
    bool deleted = false;
    // Access rules that tests set: opening the key with a write right
    // (or creating a subkey below it) is refused; or any opening is.
    bool denyWrite = false;
    bool denyRead = false;
};

class Registry {
public:
    Registry();

    // The key of a predefined root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
    // HKEY_USERS; HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes).
    std::shared_ptr<RegKey> root(HKEY predefined);

    // Finds a key by its path below a root; nullptr when absent.
    std::shared_ptr<RegKey> find(HKEY predefined, const std::string &path);
    // Finds or creates every key along the path (no access rules applied).
    std::shared_ptr<RegKey> create(HKEY predefined, const std::string &path);

    // Test and host conveniences over create(): set typed values.
    void setString(HKEY root, const std::string &path, const std::string &name,
                   const std::string &text, DWORD type = REG_SZ);
    void setDword(HKEY root, const std::string &path, const std::string &name, DWORD value);
    void setBinary(HKEY root, const std::string &path, const std::string &name,
                   std::vector<BYTE> data, DWORD type = REG_BINARY);
    // The value, or nullptr when the key or the value is absent.
    const RegValue *value(HKEY root, const std::string &path, const std::string &name);
    // The text of a string value without its terminator; "" when absent.
    std::string stringValue(HKEY root, const std::string &path, const std::string &name);
    bool keyExists(HKEY root, const std::string &path) { return find(root, path) != nullptr; }
    // The key that holds a key as its subkey; nullptr for a root or a key
    // no longer in the tree.
    std::shared_ptr<RegKey> holderOf(const RegKey &key);

    // Handles of open keys.
    HKEY open(std::shared_ptr<RegKey> key, REGSAM access);
    struct OpenKey {
        std::shared_ptr<RegKey> key;
        REGSAM access = 0;
        bool predefined = false;
    };
    // The open key behind a handle (predefined roots included); nullptr if none.
    const OpenKey *lookup(HKEY handle);
    bool close(HKEY handle);
    [[nodiscard]] std::size_t openHandleCount() const { return handles_.size(); }

    static bool isPredefined(HKEY handle);

private:
    std::shared_ptr<RegKey> machine_;
    std::shared_ptr<RegKey> user_;
    std::shared_ptr<RegKey> users_;
    std::map<std::uintptr_t, OpenKey> handles_;
    OpenKey predefinedView_;
    std::uintptr_t nextHandle_ = 0x1000;
};

// Splits a registry path at its backslashes, dropping empty parts.
std::vector<std::string> splitKeyPath(const std::string &path);

} // namespace emu
