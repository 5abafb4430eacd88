// The one way the library reads a registry value as text. Windows keeps a
// value as the bytes its writer gave: usually the text and its terminator,
// but a writer may leave the terminator off, store zeros inside the text or
// give the value another type. The reader takes the bytes as they are; each
// caller decides what it does with a missing, long or unterminated value.
#pragma once

#include <string>

#include "platform/types.h"

namespace registry {

struct StringValue {
    // ERROR_SUCCESS; ERROR_FILE_NOT_FOUND for a missing value; ERROR_MORE_DATA
    // for one over the reader's limit; or whatever else the system answers
    // (the registry's LONG result, taken as the library's error code).
    DWORD status = ERROR_FILE_NOT_FOUND;
    // The stored size in bytes, the terminator counted when one was stored.
    DWORD size = 0;
    // The stored bytes up to the first zero, or all of them when none is zero;
    // empty unless the value was read.
    std::string text;
    // The last stored byte is a zero: the value ends in its terminator.
    bool terminated = false;

    // The bytes a buffer needs for the value and a terminator after it.
    [[nodiscard]] DWORD sizeWithTerminator() const { return terminated ? size : size + 1; }
};

// No limit: the value is read whole, however long it is.
constexpr DWORD kWholeValue = 0xFFFFFFFF;

// Reads a value of an open key, whatever its type. With a limit, one query
// into a buffer of that many bytes: a longer value is not read. Without one,
// a value found longer than the buffer is asked for again with its size.
StringValue ReadStringValue(HKEY key, const char *valueName, DWORD limit = kWholeValue);

} // namespace registry
