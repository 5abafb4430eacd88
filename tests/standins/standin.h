// Shared by the stand-ins of the product's sibling libraries: each records
// what happened to it (load, calls with their arguments) as one line in the
// file named by the environment variable RADOZAVU_STANDIN_RECORD, and answers
// with the number a test puts in its own result variable.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#define STANDIN_EXPORT extern "C"
#define STANDIN_CALL __stdcall
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#define STANDIN_CALL
#endif

namespace standin {

inline std::string environment(const char *name) {
#ifdef _WIN32
    char value[1024];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
#else
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
#endif
}

inline void record(const std::string &line) {
    const std::string file = environment("RADOZAVU_STANDIN_RECORD");
    if (file.empty()) {
        return;
    }
    if (std::FILE *out = std::fopen(file.c_str(), "ab")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

inline int result(const char *variable, int fallback) {
    const std::string value = environment(variable);
    return value.empty() ? fallback : static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

} // namespace standin
