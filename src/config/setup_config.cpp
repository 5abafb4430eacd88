#include "config/setup_config.h"

#include <vector>

#include "frame/application.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "platform/environment.h"
#include "platform/profile.h"
#include "platform/user.h"

namespace config {
namespace {
constexpr std::size_t kValueBufferSize = 1024;
} // namespace

std::string FilePath(const char *folder) { return paths::append(folder, kFileName); }

std::string ReadRawSetting(const std::string &path, const char *key, const char *defaultText,
                           std::size_t room) {
    std::vector<char> value(room);
    const DWORD length = win::GetPrivateProfileStringA(kSection, key, defaultText, value.data(),
                                                       static_cast<DWORD>(room), path.c_str());
    return std::string(value.data(), length);
}

std::string ReadSetting(const char *folder, const char *key, const char *defaultText) {
    const std::string path = FilePath(folder);
    // A longer path names no file the system can open: the key reads as its
    // default, as from a missing file, and the path never reaches the
    // profile functions (one system's crash on it).
    const std::string value = paths::fits(path)
                                  ? ReadRawSetting(path, key, defaultText, kValueBufferSize)
                                  : std::string(defaultText != nullptr ? defaultText : "")
                                        .substr(0, kValueBufferSize - 1);
    // The value is taken as text: up to its first zero byte.
    const char *raw = value.c_str();
    char expanded[kValueBufferSize];
    const DWORD length = win::ExpandEnvironmentStringsA(raw, expanded, sizeof expanded);
    // A failed expansion, or one too long for the buffer, keeps the raw value.
    if (length == 0 || length > sizeof expanded) {
        return raw;
    }
    return expanded;
}

void SetupMessageBox(const char *folder, const char *text) {
    const std::string show = ReadSetting(folder, "ShowErrorMessages", "NO");
    if (mbtext::compareNoCase(show.c_str(), "NO") == 0) {
        return;
    }
    win::MessageBoxA(nullptr, text, frame::productDisplayName().c_str(),
                     MB_OK | MB_ICONEXCLAMATION);
}

} // namespace config
