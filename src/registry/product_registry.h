// The product's registry store: the one way into the product's key
// Software\<company>\<product>\<section> under HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER. Each operation opens what it needs and closes every key
// it opened before it returns.
#pragma once

#include <cstddef>

#include "base/handles.h"
#include "base/paths.h"
#include "platform/types.h"

namespace registry {

// Access to a key opened for reading, and for writing.
constexpr REGSAM kReadAccess = KEY_READ;
constexpr REGSAM kWriteAccess = KEY_READ | KEY_WRITE;

// The longest company or product key name, in bytes: the names are kept in
// path buffers.
constexpr std::size_t kMaxKeyNameLength = paths::kMaxPathLength;

// Sets the company and product key names; false (and nothing changed) when
// a name is missing or longer than kMaxKeyNameLength.
bool SetKeyNames(const char *company, const char *product);
const char *CompanyKeyName();
const char *ProductKeyName();

// Opens Software\<company>\<product> under root; with create, the company and
// product keys are created when missing (Software itself is only opened).
handles::UniqueKey OpenProductKey(HKEY root, bool create);
// Opens (or with create, opens or creates) one section of the product key.
handles::UniqueKey OpenProductSection(const char *section, HKEY root, bool create);

// A REG_DWORD value of a section, or defaultValue.
DWORD ReadProductDword(const char *section, const char *valueName, DWORD defaultValue, HKEY root);
// A "Preferences" value: the user's wins over the machine's, which wins over
// defaultValue.
DWORD ReadPreferenceDword(const char *valueName, DWORD defaultValue);
// The text of a value of a section, whatever its type and length, up to its
// first zero byte: in storage of the store that stays valid until the next
// call for a value of the same kind (shorter than a path buffer, or longer); or
// defaultText itself.
const char *ReadProductString(const char *section, const char *valueName, const char *defaultText,
                              HKEY root);
// Stores a REG_DWORD value, creating the keys on the way. True when stored.
bool WriteProductDword(const char *section, const char *valueName, DWORD value, HKEY root);
// Stores text as REG_SZ; with no text deletes the value; with no value name
// deletes the section key. True when done.
bool WriteProductString(const char *section, const char *valueName, const char *text, HKEY root);

// Reads a value of any key, whatever its type, into the caller's buffer of
// size bytes: true when the value fits (a value that fills the buffer without
// a terminator loses its last byte to one), else false and the buffer as it
// was.
bool ReadRegistryString(HKEY root, const char *keyPath, const char *valueName, char *buffer,
                        DWORD size);

// The product's install folder without a trailing backslash, or the default
// folder when none is registered or the value with its terminator does not
// fit in size bytes.
void GetInstallLocation(char *buffer, DWORD size);
constexpr const char *kDefaultInstallFolder = "C:\\Program Files\\Brevanta\\Quillane";

} // namespace registry
