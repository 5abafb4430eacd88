// Stand-in for a library that a sibling library imports: the importing
// stand-in of Rezedev.dll calls it, and it records where it was loaded from,
// so that a test tells the copy in the sibling library's folder from one
// planted elsewhere.
#include "standin.h"

#ifdef _WIN32
namespace {
struct LoadRecord {
    LoadRecord() {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&standin::record), &self);
        char path[MAX_PATH] = "";
        GetModuleFileNameA(self, path, sizeof path);
        standin::record(std::string("load ZepShared.dll from ") + path);
    }
} loadRecord;
} // namespace
#endif

extern "C" int ZepSharedValue() { return 1; }
