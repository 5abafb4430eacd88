// A program planted under the name of a program of Windows (regedit.exe)
// where a careless search would find it: it records its path and command
// line in the file named by RADOZAVU_STANDIN_RECORD and ends at once, so a
// test sees whether it was started.
#include <windows.h>

#include <cstdio>

int main() {
    char record[MAX_PATH];
    char self[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", record, sizeof record);
    if (length == 0 || length >= sizeof record ||
        GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) {
        return 1;
    }
    if (std::FILE *out = std::fopen(record, "ab")) {
        std::fprintf(out, "planted program started: %s: %s\n", self, GetCommandLineA());
        std::fclose(out);
    }
    return 0;
}
