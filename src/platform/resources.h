// String resources and system message texts of the Win32 seam.
#pragma once

#include <cstddef>

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::FormatMessageA;
using ::LoadStringA;
using ::LocalFree;
#else
// A module of the emulated machine has no resource section. As it loads, it
// gives the machine its string table (no Win32 function: on Windows the
// resource compiler puts the table into the module) and gets back the module
// handle under which LoadStringA finds those strings. The same table given
// again gets the same handle.
struct StringResource {
    UINT id;
    const char *text;
};
HINSTANCE RegisterStringTable(const StringResource *strings, std::size_t count);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, void *arguments);
HLOCAL LocalFree(HLOCAL memory);
#endif
} // namespace win
