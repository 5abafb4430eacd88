// The emulated machine's registry: a case-insensitive tree of keys holding
// typed values, with per-key access rules that tests set.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "emulator/case_less.h"
#include "platform/types.h"

namespace emu {

// Windows' size limits (Microsoft's "Registry element size limits"), in
// characters: a name of a double-byte code page counts each of its
// characters once, as the name Windows keeps in UTF-16 does.
// Microsoft documents 255 characters for a key name; Windows takes 256 and
// refuses names from 257 on, as Wine does.
constexpr std::size_t kMaxKeyNameLength = 256; // one key name, between backslashes
constexpr std::size_t kMaxValueNameLength = 16383;
// A key lies at most 512 levels deep, counted from the top of the registry
// as Windows counts it: HKEY_LOCAL_MACHINE is \REGISTRY\MACHINE (level 2),
// HKEY_USERS \REGISTRY\USER (2), HKEY_CURRENT_USER a user's key below it
// (3); so 510 levels of keys fit below the first two, 509 below the last.
constexpr std::size_t kMaxKeyLevel = 512;

struct RegValue {
    std::string name; // as first written, letter case kept
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// How many changes the registries of this process have had so far: keys
// made (addSubkey) or deleted (markDeleted), values stored or removed. A
// saver compares it with its count at load to tell whether the registry
// changed.
std::uint64_t registryEdits();

struct RegKey;

// Where the subkeys and values of keys not yet read come from: a machine
// folder's registry, read a key at a time as calls reach its keys
// (persistence/registry_base.h).
class KeySource {
public:
    KeySource() = default;
    KeySource(const KeySource &) = delete;
    KeySource &operator=(const KeySource &) = delete;
    virtual ~KeySource() = default;
    // Gives the key its values and its subkeys, each subkey with its source.
    virtual void read(RegKey &key, std::uint32_t entry) const = 0;
};

// A key's subkeys or values: a map by case-insensitive name, read from the
// key's source the first time anything looks at it.
template <class Value> class KeyMap {
public:
    using Map = std::map<std::string, Value, CaseLess>;
    explicit KeyMap(RegKey &owner) : owner_(owner) {}
    KeyMap(const KeyMap &) = delete;
    KeyMap &operator=(const KeyMap &) = delete;
    ~KeyMap() = default;

    auto begin() { return read().begin(); }
    auto end() { return read().end(); }
    auto begin() const { return read().begin(); }
    auto end() const { return read().end(); }
    auto rbegin() const { return read().rbegin(); }
    auto rend() const { return read().rend(); }
    auto find(const std::string &name) { return read().find(name); }
    auto find(const std::string &name) const { return read().find(name); }
    [[nodiscard]] std::size_t count(const std::string &name) const { return read().count(name); }
    [[nodiscard]] bool empty() const { return read().empty(); }
    [[nodiscard]] std::size_t size() const { return read().size(); }
    Value &operator[](const std::string &name) { return read()[name]; }
    auto try_emplace(const std::string &name) { return read().try_emplace(name); }
    auto erase(const std::string &name) { return read().erase(name); }
    auto erase(typename Map::iterator at) { return read().erase(at); }
    void clear() { read().clear(); }
    // The map as read so far, without reading the source: for the source
    // itself and for freeing the tree.
    Map &unread() { return map_; }

private:
    Map &read() const;

    RegKey &owner_;
    mutable Map map_;
};

struct RegKey {
    RegKey() = default;
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;
    // Frees the keys below one at a time, however deep the tree.
    ~RegKey();

    // Where the key's subkeys and values are still to be read from (nothing
    // once read, or for a key that was never in a machine folder).
    std::shared_ptr<const KeySource> source;
    std::uint32_t sourceEntry = 0;

    std::string name;
    std::size_t level = 0; // how deep the key lies (see kMaxKeyLevel)
    // The key that holds this one as its subkey; nullptr for a root and for
    // a key no longer in the tree (deleted, or below a deleted key that is
    // gone).
    RegKey *holder = nullptr;
    KeyMap<std::shared_ptr<RegKey>> subkeys{*this};
    KeyMap<RegValue> values{*this};
    bool deleted = false;
    // Access rules that tests set: opening the key with a write right
    // (or creating a subkey below it) is refused; or any opening is.
    bool denyWrite = false;
    bool denyRead = false;
};

template <class Value> typename KeyMap<Value>::Map &KeyMap<Value>::read() const {
    if (owner_.source) {
        const std::shared_ptr<const KeySource> source = std::move(owner_.source);
        source->read(owner_, owner_.sourceEntry);
    }
    return map_;
}

// A change of the registry, told after it is made to whoever keeps the
// registry (setRegistryEditSink): the machine folder, which saves only what
// changed. The key is still in the tree when the edit is told.
struct RegistryEdit {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    const RegKey *key = nullptr;
    const std::string *valueName = nullptr; // SetValue and DeleteValue
    const RegValue *value = nullptr;        // SetValue
};
using RegistryEditSink = void (*)(const RegistryEdit &edit);
// Sets who is told of each edit (nullptr: nobody).
void setRegistryEditSink(RegistryEditSink sink);

class Registry {
public:
    Registry();

    // The key of a predefined root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
    // HKEY_USERS; HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes).
    std::shared_ptr<RegKey> root(HKEY predefined);

    // Finds a key by its path below a root; nullptr when absent.
    std::shared_ptr<RegKey> find(HKEY predefined, const std::string &path);
    // Finds or creates every key along the path (no access rules applied).
    // A path beyond Windows' limits (see keyLimitProblem) throws
    // RegistryLimitError and creates nothing.
    std::shared_ptr<RegKey> create(HKEY predefined, const std::string &path);

    // Test and host conveniences over create(): set typed values. A value
    // name beyond Windows' limit throws RegistryLimitError too.
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

    // Handles of open keys, with where the key lies: below which root, on
    // which path (as stored, see wow64/registry_views.h).
    HKEY open(std::shared_ptr<RegKey> key, REGSAM access, HKEY root, std::string path);
    struct OpenKey {
        std::shared_ptr<RegKey> key;
        REGSAM access = 0;
        bool predefined = false;
        HKEY root = nullptr;
        std::string path;
    };
    // The open key behind a handle (predefined roots included); nullptr if none.
    const OpenKey *lookup(HKEY handle);
    bool close(HKEY handle);
    [[nodiscard]] std::size_t openHandleCount() const { return handles_.size(); }

    static bool isPredefined(HKEY handle);
    // The level of a predefined root's key (see kMaxKeyLevel); 0 for none.
    static std::size_t rootLevel(HKEY predefined);

private:
    std::shared_ptr<RegKey> machine_;
    std::shared_ptr<RegKey> user_;
    std::shared_ptr<RegKey> users_;
    std::map<std::uintptr_t, OpenKey> handles_;
    OpenKey predefinedView_;
    std::uintptr_t nextHandle_ = 0x1000;
};

// Visits a key and every key below it, each before its subkeys and these in
// name order, with its path: the top's path, then a backslash and nameOf(key)
// for each key on the way down. It keeps its own list of the keys to visit,
// so a deep tree takes no deeper a stack.
template <class NameOf, class Visit>
void walkKeys(const RegKey &top, const std::string &topPath, NameOf nameOf, Visit visit) {
    std::vector<std::pair<const RegKey *, std::string>> pending;
    pending.emplace_back(&top, topPath);
    while (!pending.empty()) {
        const auto [key, path] = std::move(pending.back());
        pending.pop_back();
        visit(*key, path);
        for (auto it = key->subkeys.rbegin(); it != key->subkeys.rend(); ++it) {
            pending.emplace_back(it->second.get(), path + "\\" + nameOf(*it->second));
        }
    }
}

// Makes a key below another, one level deeper (limits not checked).
// The change observer (change_observer.h) is told of the new key, and before
// any change of a key's values (storeValue, removeValue) or its deletion
// (markDeleted).
std::shared_ptr<RegKey> addSubkey(RegKey &holder, const std::string &name);

// Stores a value in a key; a value new to the key keeps its name as first
// written, letter case and all.
void storeValue(RegKey &key, const std::string &name, DWORD type, std::vector<BYTE> data);
// Removes a value from a key; false when the key holds none of that name.
bool removeValue(RegKey &key, const std::string &name);
// Marks a key deleted, before its holder lets it go: handles still open on
// it then fail with ERROR_KEY_DELETED, as on Windows.
void markDeleted(RegKey &key);

// Why the keys named by parts cannot be made below a key of the level given,
// as Windows refuses them: a name longer than kMaxKeyNameLength characters,
// or a key deeper than kMaxKeyLevel; empty when they can.
std::string keyLimitProblem(std::size_t fromLevel, const std::vector<std::string> &parts);
// Why a value cannot have the name: longer than kMaxValueNameLength
// characters; empty when it can.
std::string valueNameProblem(const std::string &name);

// A key or value refused for Windows' size limits.
class RegistryLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace emu
