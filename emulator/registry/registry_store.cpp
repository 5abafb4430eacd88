#include "emulator/registry/registry_store.h"

#include <cstring>

#include "emulator/change_observer.h"
#include "emulator/registry/root_names.h"
#include "emulator/text.h"

namespace emu {

RegKey::~RegKey() {
    std::vector<std::shared_ptr<RegKey>> below;
    for (auto &entry : subkeys.unread()) {
        below.push_back(std::move(entry.second));
    }
    subkeys.unread().clear();
    while (!below.empty()) {
        const std::shared_ptr<RegKey> key = std::move(below.back());
        below.pop_back();
        key->holder = nullptr; // its holder is going
        // A key an open handle still holds keeps its subkeys.
        if (key.use_count() == 1) {
            for (auto &entry : key->subkeys.unread()) {
                below.push_back(std::move(entry.second));
            }
            key->subkeys.unread().clear();
        }
    }
}

namespace {

std::uint64_t &editCount() {
    static std::uint64_t count = 0;
    return count;
}

RegistryEditSink &editSink() {
    static RegistryEditSink sink = nullptr;
    return sink;
}

void tell(const RegistryEdit &edit) {
    ++editCount();
    if (editSink() != nullptr) {
        editSink()(edit);
    }
}

} // namespace

std::uint64_t registryEdits() { return editCount(); }

void setRegistryEditSink(RegistryEditSink sink) { editSink() = sink; }

void storeValue(RegKey &key, const std::string &name, DWORD type, std::vector<BYTE> data) {
    noteKeyChanging(key);
    const auto [entry, added] = key.values.try_emplace(name);
    RegValue &value = entry->second;
    if (added) {
        value.name = name;
    }
    if (added || value.type != type || value.data != data) {
        value.type = type;
        value.data = std::move(data);
        tell({RegistryEdit::SetValue, &key, &entry->first, &value});
    } // the same data stored again changes nothing
}

bool removeValue(RegKey &key, const std::string &name) {
    if (key.values.find(name) == key.values.end()) {
        return false;
    }
    noteKeyChanging(key);
    tell({RegistryEdit::DeleteValue, &key, &name, nullptr});
    key.values.erase(name);
    return true;
}

std::shared_ptr<RegKey> addSubkey(RegKey &holder, const std::string &name) {
    auto child = std::make_shared<RegKey>();
    child->name = name;
    child->level = holder.level + 1;
    child->holder = &holder;
    holder.subkeys[name] = child;
    tell({RegistryEdit::CreateKey, child.get(), nullptr, nullptr});
    noteKeyCreated(*child);
    return child;
}

void markDeleted(RegKey &key) {
    noteKeyChanging(key);
    tell({RegistryEdit::DeleteKey, &key, nullptr, nullptr});
    key.deleted = true;
}

namespace {

std::size_t characterCount(const std::string &text) {
    std::size_t count = 0;
    for (const char *p = text.c_str(); *p != '\0'; p = nextCharacter(p)) {
        ++count;
    }
    return count;
}

std::shared_ptr<RegKey> rootKey(const char *name, std::size_t level) {
    auto key = std::make_shared<RegKey>();
    key->name = name;
    key->level = level;
    return key;
}

} // namespace

std::string keyLimitProblem(std::size_t fromLevel, const std::vector<std::string> &parts) {
    for (const std::string &part : parts) {
        if (characterCount(part) > kMaxKeyNameLength) {
            return "a key name is longer than " + std::to_string(kMaxKeyNameLength) + " characters";
        }
    }
    if (fromLevel + parts.size() > kMaxKeyLevel) {
        return "a key would lie deeper than the " + std::to_string(kMaxKeyLevel) +
               " levels Windows allows";
    }
    return {};
}

std::string valueNameProblem(const std::string &name) {
    if (characterCount(name) > kMaxValueNameLength) {
        return "a value name is longer than " + std::to_string(kMaxValueNameLength) + " characters";
    }
    return {};
}

Registry::Registry()
    : machine_(rootKey(findRootName(HKEY_LOCAL_MACHINE)->longName, rootLevel(HKEY_LOCAL_MACHINE))),
      user_(rootKey(findRootName(HKEY_CURRENT_USER)->longName, rootLevel(HKEY_CURRENT_USER))),
      users_(rootKey(findRootName(HKEY_USERS)->longName, rootLevel(HKEY_USERS))) {}

std::size_t Registry::rootLevel(HKEY predefined) {
    if (predefined == HKEY_LOCAL_MACHINE || predefined == HKEY_USERS) {
        return 2; // \REGISTRY\MACHINE, \REGISTRY\USER
    }
    if (predefined == HKEY_CURRENT_USER) {
        return 3; // \REGISTRY\USER\<the user>
    }
    if (predefined == HKEY_CLASSES_ROOT) {
        return 4; // \REGISTRY\MACHINE\Software\Classes
    }
    return 0;
}

bool Registry::isPredefined(HKEY handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    return value >= 0x80000000u && value <= 0x80000003u;
}

std::shared_ptr<RegKey> Registry::root(HKEY predefined) {
    if (predefined == HKEY_LOCAL_MACHINE) {
        return machine_;
    }
    if (predefined == HKEY_CURRENT_USER) {
        return user_;
    }
    if (predefined == HKEY_USERS) {
        return users_;
    }
    if (predefined == HKEY_CLASSES_ROOT) {
        return create(HKEY_LOCAL_MACHINE, "Software\\Classes");
    }
    return nullptr;
}

std::shared_ptr<RegKey> Registry::find(HKEY predefined, const std::string &path) {
    std::shared_ptr<RegKey> key = root(predefined);
    for (const std::string &part : splitKeyPath(path)) {
        if (!key) {
            return nullptr;
        }
        auto it = key->subkeys.find(part);
        key = it == key->subkeys.end() ? nullptr : it->second;
    }
    return key;
}

std::shared_ptr<RegKey> Registry::create(HKEY predefined, const std::string &path) {
    std::shared_ptr<RegKey> key = root(predefined);
    if (!key) {
        return nullptr;
    }
    const std::vector<std::string> parts = splitKeyPath(path);
    if (const std::string problem = keyLimitProblem(key->level, parts); !problem.empty()) {
        throw RegistryLimitError(problem);
    }
    for (const std::string &part : parts) {
        const auto existing = key->subkeys.find(part);
        key = existing != key->subkeys.end() ? existing->second : addSubkey(*key, part);
    }
    return key;
}

void Registry::setString(HKEY root, const std::string &path, const std::string &name,
                         const std::string &text, DWORD type) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    setBinary(root, path, name, std::move(data), type);
}

void Registry::setDword(HKEY root, const std::string &path, const std::string &name, DWORD value) {
    std::vector<BYTE> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    setBinary(root, path, name, std::move(data), REG_DWORD);
}

void Registry::setBinary(HKEY root, const std::string &path, const std::string &name,
                         std::vector<BYTE> data, DWORD type) {
    if (const std::string problem = valueNameProblem(name); !problem.empty()) {
        throw RegistryLimitError(problem);
    }
    storeValue(*create(root, path), name, type, std::move(data));
}

const RegValue *Registry::value(HKEY root, const std::string &path, const std::string &name) {
    auto key = find(root, path);
    if (!key) {
        return nullptr;
    }
    auto it = key->values.find(name);
    return it == key->values.end() ? nullptr : &it->second;
}

std::string Registry::stringValue(HKEY root, const std::string &path, const std::string &name) {
    const RegValue *found = value(root, path, name);
    if (found == nullptr) {
        return {};
    }
    std::string text(found->data.begin(), found->data.end());
    const auto end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

std::shared_ptr<RegKey> Registry::holderOf(const RegKey &key) {
    const RegKey *holder = key.holder;
    if (holder == nullptr) {
        return nullptr;
    }
    if (holder->holder == nullptr) {
        for (const auto &top : {machine_, user_, users_}) {
            if (top.get() == holder) {
                return top;
            }
        }
        return nullptr;
    }
    const auto entry = holder->holder->subkeys.find(holder->name);
    return entry == holder->holder->subkeys.end() ? nullptr : entry->second;
}

HKEY Registry::open(std::shared_ptr<RegKey> key, REGSAM access, HKEY root, std::string path) {
    const std::uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = OpenKey{std::move(key), access, false, root, std::move(path)};
    return reinterpret_cast<HKEY>(handle);
}

const Registry::OpenKey *Registry::lookup(HKEY handle) {
    if (isPredefined(handle)) {
        predefinedView_ = OpenKey{root(handle), KEY_ALL_ACCESS, true, handle, {}};
        return predefinedView_.key ? &predefinedView_ : nullptr;
    }
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == handles_.end() ? nullptr : &it->second;
}

bool Registry::close(HKEY handle) {
    if (isPredefined(handle)) {
        return true;
    }
    return handles_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
}

} // namespace emu
