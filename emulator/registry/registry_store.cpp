#include "emulator/registry/registry_store.h"

#include <cstring>

#include "emulator/text.h"

namespace emu {

std::vector<std::string> splitKeyPath(const std::string &path) {
    std::vector<std::string> parts;
    const char *start = path.c_str();
    for (const char *sep = findCharacter(start, '\\'); sep != nullptr;
         sep = findCharacter(start, '\\')) {
        if (sep != start) {
            parts.emplace_back(start, sep);
        }
        start = sep + 1;
    }
    if (*start != '\0') {
        parts.emplace_back(start);
    }
    return parts;
}

Registry::Registry()
    : machine_(std::make_shared<RegKey>()), user_(std::make_shared<RegKey>()),
      users_(std::make_shared<RegKey>()) {
    machine_->name = "HKEY_LOCAL_MACHINE";
    user_->name = "HKEY_CURRENT_USER";
    users_->name = "HKEY_USERS";
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
    for (const std::string &part : splitKeyPath(path)) {
        if (!key) {
            return nullptr;
        }
        auto &child = key->subkeys[part];
        if (!child) {
            child = std::make_shared<RegKey>();
            child->name = part;
        }
        key = child;
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
    auto key = create(root, path);
    auto &value = key->values[name];
    if (value.name.empty()) {
        value.name = name;
    }
    value.type = type;
    value.data = std::move(data);
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

namespace {

std::shared_ptr<RegKey> holderBelow(const std::shared_ptr<RegKey> &from, const RegKey &key) {
    for (const auto &[name, child] : from->subkeys) {
        if (child.get() == &key) {
            return from;
        }
        if (auto holder = holderBelow(child, key)) {
            return holder;
        }
    }
    return nullptr;
}

} // namespace

std::shared_ptr<RegKey> Registry::holderOf(const RegKey &key) {
    for (const auto &root : {machine_, user_, users_}) {
        if (auto holder = holderBelow(root, key)) {
            return holder;
        }
    }
    return nullptr;
}

HKEY Registry::open(std::shared_ptr<RegKey> key, REGSAM access) {
    const std::uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = OpenKey{std::move(key), access, false};
    return reinterpret_cast<HKEY>(handle);
}

const Registry::OpenKey *Registry::lookup(HKEY handle) {
    if (isPredefined(handle)) {
        predefinedView_ = OpenKey{root(handle), KEY_ALL_ACCESS, true};
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
