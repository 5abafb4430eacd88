// Windows constants of 64-bit Windows that the emulated machine models and
// the library itself does not use (so they are not in its seam's
// win_types.h): the registry views of WOW64 and the shell folders of a
// machine of today. On Windows they come from <windows.h> and <shlobj.h>.
#pragma once

#include "platform/types.h"

#ifndef _WIN32
// The registry view a call asks for, beside its access rights.
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;

constexpr int CSIDL_APPDATA = 0x001a;
constexpr int CSIDL_LOCAL_APPDATA = 0x001c;
constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
constexpr int CSIDL_PROGRAM_FILES = 0x0026;
constexpr int CSIDL_SYSTEMX86 = 0x0029;
constexpr int CSIDL_PROGRAM_FILESX86 = 0x002a;
constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002b;
#endif
