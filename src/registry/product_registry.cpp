#include "registry/product_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/per_load.h"
#include "base/mbtext.h"
#include "platform/registry.h"
#include "radozavu.h"
#include "registry/string_value.h"

namespace registry {
namespace {

struct KeyNames {
    std::string company = "Brevanta";
    std::string product = "Quillane";
};

// The store's state is made on first use, since the library's load step
// reads the store and may run before the static objects of this file have
// been constructed.
KeyNames &keyNames() {
    static per_load::PerLoad<KeyNames> names;
    return *names;
}

// The text results of ReadProductString: a path buffer for values shorter
// than one and a text that grows for longer ones.
struct StringResults {
    char shortText[paths::kPathBufferSize] = {};
    std::vector<char> longText;
};
StringResults &stringResults() {
    static per_load::PerLoad<StringResults> results;
    return *results;
}

constexpr const char *kRoot = "Software";

handles::UniqueKey openOrCreate(HKEY parent, const char *name, REGSAM access, bool create) {
    handles::UniqueKey key;
    if (create) {
        win::RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                             key.put(), nullptr);
    } else {
        win::RegOpenKeyExA(parent, name, 0, access, key.put());
    }
    return key;
}

} // namespace

bool SetKeyNames(const char *company, const char *product) {
    if (company == nullptr || product == nullptr || std::strlen(company) > kMaxKeyNameLength ||
        std::strlen(product) > kMaxKeyNameLength) {
        return false;
    }
    keyNames().company = company;
    keyNames().product = product;
    return true;
}

const char *CompanyKeyName() { return keyNames().company.c_str(); }
const char *ProductKeyName() { return keyNames().product.c_str(); }

handles::UniqueKey OpenProductKey(HKEY root, bool create) {
    const REGSAM access = create ? kWriteAccess : kReadAccess;
    handles::UniqueKey software;
    if (win::RegOpenKeyExA(root, kRoot, 0, access, software.put()) != ERROR_SUCCESS) {
        return {};
    }
    handles::UniqueKey company = openOrCreate(software.get(), CompanyKeyName(), access, create);
    if (!company) {
        return {};
    }
    return openOrCreate(company.get(), ProductKeyName(), access, create);
}

handles::UniqueKey OpenProductSection(const char *section, HKEY root, bool create) {
    handles::UniqueKey product = OpenProductKey(root, create);
    if (!product) {
        return {};
    }
    return openOrCreate(product.get(), section, create ? kWriteAccess : kReadAccess, create);
}

DWORD ReadProductDword(const char *section, const char *valueName, DWORD defaultValue, HKEY root) {
    handles::UniqueKey key = OpenProductSection(section, root, false);
    if (!key) {
        return defaultValue;
    }
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (win::RegQueryValueExA(key.get(), valueName, nullptr, &type,
                              reinterpret_cast<BYTE *>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return defaultValue;
    }
    return value;
}

DWORD ReadPreferenceDword(const char *valueName, DWORD defaultValue) {
    const DWORD machineValue =
        ReadProductDword("Preferences", valueName, defaultValue, HKEY_LOCAL_MACHINE);
    return ReadProductDword("Preferences", valueName, machineValue, HKEY_CURRENT_USER);
}

const char *ReadProductString(const char *section, const char *valueName, const char *defaultText,
                              HKEY root) {
    StringValue value;
    {
        handles::UniqueKey key = OpenProductSection(section, root, false);
        if (!key) {
            return defaultText;
        }
        value = ReadStringValue(key.get(), valueName);
    }
    if (value.status != ERROR_SUCCESS) {
        return defaultText;
    }
    StringResults &results = stringResults();
    if (value.size < sizeof results.shortText) {
        std::memcpy(results.shortText, value.text.c_str(), value.text.size() + 1);
        return results.shortText;
    }
    results.longText.assign(value.text.begin(), value.text.end());
    results.longText.push_back('\0');
    return results.longText.data();
}

bool WriteProductDword(const char *section, const char *valueName, DWORD value, HKEY root) {
    handles::UniqueKey key = OpenProductSection(section, root, true);
    if (!key) {
        return false;
    }
    return win::RegSetValueExA(key.get(), valueName, 0, REG_DWORD,
                               reinterpret_cast<const BYTE *>(&value),
                               sizeof value) == ERROR_SUCCESS;
}

bool WriteProductString(const char *section, const char *valueName, const char *text, HKEY root) {
    if (valueName == nullptr) {
        handles::UniqueKey product = OpenProductKey(root, false);
        return product && win::RegDeleteKeyA(product.get(), section) == ERROR_SUCCESS;
    }
    handles::UniqueKey key = OpenProductSection(section, root, true);
    if (!key) {
        return false;
    }
    if (text == nullptr) {
        return win::RegDeleteValueA(key.get(), valueName) == ERROR_SUCCESS;
    }
    return win::RegSetValueExA(key.get(), valueName, 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(text),
                               static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool ReadRegistryString(HKEY root, const char *keyPath, const char *valueName, char *buffer,
                        DWORD size) {
    handles::UniqueKey key;
    if (size == 0 ||
        win::RegOpenKeyExA(root, keyPath, 0, kReadAccess, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    const StringValue value = ReadStringValue(key.get(), valueName, size);
    if (value.status != ERROR_SUCCESS) {
        return false;
    }
    // A value that fills the buffer without a terminator gives up its last
    // byte to one.
    const std::size_t length = std::min<std::size_t>(value.text.size(), size - 1);
    std::memcpy(buffer, value.text.data(), length);
    buffer[length] = '\0';
    return true;
}

void GetInstallLocation(char *buffer, DWORD size) {
    const auto useDefault = [&] { mbtext::copyBounded(buffer, size, kDefaultInstallFolder); };
    char path[paths::kPathBufferSize];
    const int length = std::snprintf(path, sizeof path, "%s\\%s\\%s\\%s", kRoot, CompanyKeyName(),
                                     ProductKeyName(), "Current Version");
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) {
        useDefault(); // the key path would not fit: no such key can be read
        return;
    }
    handles::UniqueKey key;
    if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, kReadAccess, key.put()) != ERROR_SUCCESS) {
        useDefault();
        return;
    }
    const StringValue value = ReadStringValue(key.get(), "Install Location", size);
    key.reset();
    if (value.status != ERROR_SUCCESS || value.sizeWithTerminator() > size) {
        // No value, one longer than the buffer, or one that fills it with
        // no room for the terminator.
        useDefault();
        return;
    }
    std::string location = value.text;
    mbtext::removeTrailingBackslash(location);
    std::memcpy(buffer, location.c_str(), location.size() + 1);
}

} // namespace registry

extern "C" RADOZAVU_API(void) RADOzavu_SetRegistryInfo(const char *company, const char *product) {
    registry::SetKeyNames(company, product);
}
