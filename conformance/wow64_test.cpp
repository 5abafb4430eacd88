// WOW64 as the 32-bit library meets it on a 64-bit Windows 10: the
// registry's two views and the flags that choose one, the keys both views
// share and those they keep apart, the Wow6432Node the 32-bit view hides,
// System32 and Sysnative, the environment and the shell folders of a 32-bit
// process, and the version a program without a manifest for Windows 10 is
// told. Skipped on a 32-bit machine (the standard emulated XP machine, a
// 32-bit Wine prefix).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "case.h"
#include "platform/environment.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/system.h"

namespace conformance {
namespace {

constexpr const char *kTestKey = "Software\\RADOZAVU conformance wow64";
constexpr const char *kClsid = "{5A1B0C2D-0000-4000-8000-52414430574F}";

struct KeyOfCase {
    HKEY root;
    std::string path;
};

// Every key a case may make outside the scratch key, removed in both views
// after each case.
const std::vector<KeyOfCase> &keysOfCases() {
    static const std::vector<KeyOfCase> keys = {
        {HKEY_LOCAL_MACHINE, kTestKey},
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\RADOZAVU conformance wow64"},
        {HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\CLSID\\") + kClsid},
        {HKEY_LOCAL_MACHINE,
         "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\radozavu-conformance.exe"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\RADOZAVU conformance wow64"},
        {HKEY_CURRENT_USER, kTestKey},
        {HKEY_CURRENT_USER, std::string("Software\\Classes\\CLSID\\") + kClsid},
    };
    return keys;
}

class Wow64 : public Case {
protected:
    void SetUp() override {
        Case::SetUp();
        if (!platform::underWow64()) {
            GTEST_SKIP() << "a 32-bit machine has no WOW64";
        }
    }
    void TearDown() override {
        for (const KeyOfCase &key : keysOfCases()) {
            for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
                platform::removeKey(key.root, key.path, view);
            }
        }
        Case::TearDown();
    }
};

// Sets the value "view" of a key, made in the view asked.
LONG setView(HKEY root, const std::string &path, REGSAM view, const std::string &text) {
    HKEY key = nullptr;
    LONG rc = win::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                   &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = win::RegSetValueExA(key, "view", 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
        win::RegCloseKey(key);
    }
    return rc;
}

// The value "view" of a key opened in the view asked: its text, or what
// was missing.
std::string readView(HKEY root, const std::string &path, REGSAM view) {
    HKEY key = nullptr;
    if (win::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        return "(no key)";
    }
    char data[64];
    std::memset(data, kJunk, sizeof data);
    DWORD size = sizeof data;
    const LONG rc =
        win::RegQueryValueExA(key, "view", nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size);
    win::RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(data) : "(no value)";
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string expanded(const std::string &text) {
    char result[MAX_PATH];
    std::memset(result, kJunk, sizeof result);
    const DWORD size = win::ExpandEnvironmentStringsA(text.c_str(), result, sizeof result);
    return size > 0 && size <= sizeof result ? std::string(result) : "(not expanded)";
}

TEST_F(Wow64, EachViewAndFlagReachesItsKey) {
    ASSERT_EQ(setView(HKEY_LOCAL_MACHINE, kTestKey, 0, "32-bit"), ERROR_SUCCESS);
    ASSERT_EQ(setView(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_64KEY, "64-bit"), ERROR_SUCCESS);
    const std::string node = "Software\\Wow6432Node\\RADOZAVU conformance wow64";
    const struct {
        REGSAM view;
        std::string path;
        const char *found;
    } cases[] = {
        {0, kTestKey, "32-bit"}, // the process's own view
        {KEY_WOW64_32KEY, kTestKey, "32-bit"},
        {KEY_WOW64_64KEY, kTestKey, "64-bit"},
        {0, node, "32-bit"}, // the 32-bit view named by its location
        {KEY_WOW64_64KEY, node, "32-bit"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path + " in view " + std::to_string(c.view));
        EXPECT_EQ(readView(HKEY_LOCAL_MACHINE, c.path, c.view), c.found);
    }
}

TEST_F(Wow64, KeysAreSharedOrRedirectedAsDocumented) {
    const std::string clsid = std::string("Software\\Classes\\CLSID\\") + kClsid;
    const struct {
        HKEY root;
        std::string path;
        bool shared;
        bool wineShares = false; // Wine shares a key Windows redirects
    } cases[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\RADOZAVU conformance wow64", true},
        {HKEY_LOCAL_MACHINE, clsid, false},
        {HKEY_LOCAL_MACHINE,
         "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\radozavu-conformance.exe", true},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\RADOZAVU conformance wow64",
         true},
        {HKEY_CURRENT_USER, kTestKey, true},
        {HKEY_CURRENT_USER, clsid, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + c.path);
        ASSERT_EQ(setView(c.root, c.path, KEY_WOW64_32KEY, "32-bit"), ERROR_SUCCESS);
        const bool shared =
            c.shared ||
            (c.wineShares && knownWineDifference("a user's Software\\Classes\\CLSID "
                                                 "is one key in both views (Wine "
                                                 "redirects only HKEY_LOCAL_MACHINE's)"));
        EXPECT_EQ(readView(c.root, c.path, KEY_WOW64_64KEY), shared ? "32-bit" : "(no key)");
    }
}

TEST_F(Wow64, The32BitViewHidesWow6432Node) {
    const struct {
        REGSAM view;
        bool listed;
    } cases[] = {{KEY_WOW64_64KEY, true}, {KEY_WOW64_32KEY, false}, {0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.view);
        std::vector<std::string> names =
            platform::subkeyNames(HKEY_LOCAL_MACHINE, "Software", c.view);
        ASSERT_FALSE(names.empty());
        std::transform(names.begin(), names.end(), names.begin(), lowerCase);
        EXPECT_EQ(std::count(names.begin(), names.end(), "wow6432node"), c.listed ? 1 : 0);
    }
}

TEST_F(Wow64, System32IsSysWow64AndSysnativeIsSystem32) {
    const std::string windows = expanded("%windir%");
    const std::string name = "\\radozavu-conformance.txt";
    const struct {
        std::string written; // by the 32-bit process
        std::string alsoAt;  // the same file by another name
        std::string notAt;
    } cases[] = {
        {windows + "\\System32" + name, windows + "\\SysWOW64" + name,
         windows + "\\Sysnative" + name},
        {windows + "\\Sysnative" + name, windows + "\\Sysnative" + name,
         windows + "\\System32" + name},
        // A folder of System32 that WOW64 leaves alone.
        {windows + "\\System32\\drivers\\etc" + name, windows + "\\Sysnative\\drivers\\etc" + name,
         windows + "\\SysWOW64\\drivers\\etc" + name},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.written);
        const HANDLE file = win::CreateFileA(c.written.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        win::CloseHandle(file);
        EXPECT_NE(win::GetFileAttributesA(c.alsoAt.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(win::GetFileAttributesA(c.notAt.c_str()), INVALID_FILE_ATTRIBUTES);
        WIN32_FIND_DATAA found;
        const HANDLE search = win::FindFirstFileA(c.written.c_str(), &found);
        EXPECT_NE(search, INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE) {
            EXPECT_STREQ(found.cFileName, name.c_str() + 1);
            win::FindClose(search);
        }
        EXPECT_TRUE(win::DeleteFileA(c.written.c_str()));
    }
}

TEST_F(Wow64, TheEnvironmentOfA32BitProcess) {
    const struct {
        const char *variable;
        const char *value;
    } cases[] = {
        {"%ProgramFiles%", "C:\\Program Files (x86)"},
        {"%ProgramFiles(x86)%", "C:\\Program Files (x86)"},
        {"%ProgramW6432%", "C:\\Program Files"},
        {"%CommonProgramFiles%", "C:\\Program Files (x86)\\Common Files"},
        {"%CommonProgramW6432%", "C:\\Program Files\\Common Files"},
        {"%PROCESSOR_ARCHITECTURE%", "x86"},
        {"%PROCESSOR_ARCHITEW6432%", "AMD64"},
        {"%ALLUSERSPROFILE%", "C:\\ProgramData"},
        {"%PUBLIC%", "C:\\Users\\Public"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.variable);
        EXPECT_EQ(lowerCase(expanded(c.variable)), lowerCase(c.value));
    }
}

TEST_F(Wow64, TheShellFoldersOfA32BitProcess) {
    const struct {
        int folder;
        std::string path;
    } cases[] = {
        {CSIDL_PROGRAM_FILES, "C:\\Program Files (x86)"},
        {CSIDL_PROGRAM_FILESX86, "C:\\Program Files (x86)"},
        {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
        {CSIDL_COMMON_APPDATA, "C:\\ProgramData"},
        // The system folder is named as such; the file system redirects it.
        {CSIDL_SYSTEM, expanded("%windir%\\system32")},
        {CSIDL_SYSTEMX86, expanded("%windir%\\SysWOW64")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        PIDLIST_ABSOLUTE items = nullptr;
        ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, c.folder, &items), S_OK);
        char path[MAX_PATH + 1];
        std::memset(path, kJunk, sizeof path);
        EXPECT_TRUE(win::SHGetPathFromIDListA(items, path));
        win::CoTaskMemFree(items);
        EXPECT_EQ(lowerCase(path), lowerCase(c.path));
    }
}

// The 64-bit machines the suite runs on report Windows 10, which tells a
// program without a manifest for Windows 8.1 or 10 (as this suite is) 6.2.
TEST_F(Wow64, AProgramWithoutAManifestIsToldWindows8) {
    OSVERSIONINFOA version;
    std::memset(&version, kJunk, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(win::GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, DWORD{VER_PLATFORM_WIN32_NT});
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 2u);
    EXPECT_EQ(version.dwBuildNumber, 9200u);
    EXPECT_STREQ(version.szCSDVersion, "");
}

} // namespace
} // namespace conformance
