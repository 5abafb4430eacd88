#include "config/setup_config.h"

#include <cstdio>

#include "frame/application.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "platform/profile.h"
#include "platform/user.h"

namespace config {
namespace {
constexpr DWORD kValueBufferSize = 1024;
} // namespace

std::string FilePath(const char *folder) {
    return paths::append(folder, kFileName);
}

std::string SetupConfig(const char *folder, const char *key, const char *defaultText) {
    const std::string path = FilePath(folder);
    char raw[kValueBufferSize];
    // A longer path names no file the system can open: the key reads as its
    // default, as from a missing file, and the path never reaches the
    // profile functions (one system's crash on it).
    if (!paths::fits(path)) {
        std::snprintf(raw, sizeof raw, "%s", defaultText != nullptr ? defaultText : "");
    } else {
        win::GetPrivateProfileStringA(kSection, key, defaultText, raw, sizeof raw, path.c_str());
    }
    char expanded[kValueBufferSize];
    const DWORD length = win::ExpandEnvironmentStringsA(raw, expanded, sizeof expanded);
    // A failed expansion, or one too long for the buffer, keeps the raw value.
    if (length == 0 || length > sizeof expanded) {
        return raw;
    }
    return expanded;
}

void SetupMessageBox(const char *folder, const char *text) {
    const std::string show = SetupConfig(folder, "ShowErrorMessages", "NO");
    if (mbtext::compareNoCase(show.c_str(), "NO") == 0) {
        return;
    }
    win::MessageBoxA(nullptr, text, frame::productDisplayName().c_str(),
                     MB_OK | MB_ICONEXCLAMATION);
}

} // namespace config
