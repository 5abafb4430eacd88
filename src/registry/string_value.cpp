#include "registry/string_value.h"

#include <vector>

#include "platform/registry.h"

namespace registry {

StringValue ReadStringValue(HKEY key, const char *valueName, DWORD limit) {
    const bool whole = limit == kWholeValue;
    StringValue value;
    std::vector<char> data;
    DWORD size = whole ? 0 : limit;
    do {
        data.assign(static_cast<std::size_t>(size) + 1, '\0'); // a zero after any bytes read
        value.status = static_cast<DWORD>(win::RegQueryValueExA(
            key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(data.data()), &size));
    } while (whole && value.status == ERROR_MORE_DATA);
    if (value.status == ERROR_SUCCESS) {
        value.size = size;
        value.text = data.data();
        value.terminated = size > 0 && data[size - 1] == '\0';
    }
    return value;
}

} // namespace registry
