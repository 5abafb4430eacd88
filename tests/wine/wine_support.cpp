#include "wine_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace wine {

std::string programFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder;
}

namespace {

// The export name as a function of type F (through void (*)(), the type that
// converts to any function type); null, and a failure, when it is missing.
template <class F> F findExport(HMODULE module, const char *name) {
    FARPROC entry = module != nullptr ? GetProcAddress(module, name) : nullptr;
    EXPECT_NE(entry, nullptr) << "no export " << name;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(entry));
}

} // namespace

Library::Library() {
    module_ = LoadLibraryA((programFolder() + "RADOZAVU.DLL").c_str());
    EXPECT_NE(module_, nullptr) << "RADOZAVU.DLL did not load: " << GetLastError();
#define RADOZAVU_EXPORT_ENTRY(name, result, arguments, commandLine, page)                          \
    exports_.name = findExport<decltype(&::name)>(module_, #name);
#include "exports.inc"
#undef RADOZAVU_EXPORT_ENTRY
}

Library::~Library() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

BoxWatcher::BoxWatcher(std::string title, DWORD timeoutMs)
    : BoxWatcher(std::move(title), nullptr, timeoutMs) {}

BoxWatcher::BoxWatcher(std::string title, std::function<void()> beforeAnswer, DWORD timeoutMs)
    : title_(std::move(title)), timeoutMs_(timeoutMs), start_(GetTickCount()),
      beforeAnswer_(std::move(beforeAnswer)) {
    thread_ = std::thread([this] {
        HWND lastAnswered = nullptr;
        while (!stop_) {
            HWND box = FindWindowA("#32770", title_.empty() ? nullptr : title_.c_str());
            // A box answered a moment ago may still be closing.
            if (box != nullptr && box != lastAnswered && IsWindowVisible(box)) {
                answer(box, GetTickCount() - start_ <= timeoutMs_);
                lastAnswered = box;
            }
            Sleep(20);
        }
    });
}

BoxWatcher::~BoxWatcher() { finish(); }

void BoxWatcher::answer(HWND box, bool inTime) {
    ++box_.answered;
    if (!inTime) {
        box_.late = true;
    } else if (!box_.seen) {
        box_.seen = true;
        box_.owner = GetWindow(box, GW_OWNER);
        box_.title = title_;
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        box_.text = text;
        // The icon control: 20 in Windows' box template, 1088 in Wine's.
        // Wine keeps its control visible in a box without an icon, holding
        // no icon.
        for (int id : {20, 1088}) {
            HWND icon = GetDlgItem(box, id);
            box_.hasIcon = box_.hasIcon || (icon != nullptr && IsWindowVisible(icon) &&
                                            SendMessageA(icon, STM_GETICON, 0, 0) != 0);
        }
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            char className[32] = "";
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
                GetWindowTextA(child, text, sizeof text);
                box_.buttons.emplace_back(text);
            }
        }
        if (beforeAnswer_) {
            beforeAnswer_();
        }
        firstAnswered_ = true;
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

SeenBox BoxWatcher::wait() {
    while (!firstAnswered_ && GetTickCount() - start_ <= timeoutMs_) {
        Sleep(20);
    }
    return finish();
}

SeenBox BoxWatcher::finish() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return box_;
}

std::string besideProgram(const char *program, const std::string &arguments) {
    std::string line = "\"";
    line += programFolder();
    line += program;
    line += "\"";
    if (!arguments.empty()) {
        line += ' ';
        line += arguments;
    }
    return line;
}

std::string productProgram(const char *fileName, const std::string &arguments) {
    // Not beside the test program: the hostile sweep, which may run at the
    // same time, watches that folder for files that appear.
    const std::string folder = freshFolder("product");
    CopyFileA((programFolder() + "program_standin.exe").c_str(), (folder + fileName).c_str(),
              FALSE);
    return "\"" + folder + fileName + "\" " + arguments;
}

std::string installerIn(const std::string &folder, const std::string &arguments) {
    for (const char *file : {"installer_standin.exe", "RADOZAVU.DLL"}) {
        CopyFileA((programFolder() + file).c_str(), (folder + file).c_str(), FALSE);
    }
    return "\"" + folder + "installer_standin.exe\" " + arguments;
}

Program::Program(const std::string &commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info_) != FALSE;
    EXPECT_TRUE(started_) << commandLine << ": " << GetLastError();
}

Program::~Program() {
    if (!started_) {
        return;
    }
    if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Program::showsWindows(std::initializer_list<const char *> titles) const {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs;) {
        bool all = true;
        for (const char *title : titles) {
            all = all && FindWindowA(nullptr, title) != nullptr;
        }
        if (all) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

DWORD Program::exitCode(DWORD limitMs) const {
    DWORD code = STILL_ACTIVE;
    if (started_ && WaitForSingleObject(info_.hProcess, limitMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info_.hProcess, &code);
    }
    return code;
}

std::string freshFolder(const std::string &name) {
    CreateDirectoryA("C:\\radozavu-tests", nullptr);
    const std::string folder = "C:\\radozavu-tests\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}

void writeFile(const std::string &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

namespace {

// The Unix path of a path under Wine.
std::string unixPath(const std::string &path) {
    using UnixFileName = char *(__cdecl *)(const WCHAR *);
    const auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH];
    if (toUnix == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) {
        return "";
    }
    char *unix = toUnix(wide);
    const std::string result = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Runs a command line (under Wine a Unix program, named by its Windows path)
// and waits, at most kPatienceMs, until the link it makes or removes is
// there or gone: Wine gives no handle to wait on for a Unix program.
bool runUntil(const char *program, std::string commandLine, const std::string &link,
              bool junctionWanted) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(10)) {
        const DWORD attributes = GetFileAttributesA(link.c_str());
        const bool junction = attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (junction == junctionWanted) {
            return true;
        }
    }
    return false;
}

} // namespace

bool makeJunction(const std::string &link, const std::string &target) {
    const std::string unixLink = unixPath(link);
    const std::string unixTarget = unixPath(target);
    if (unixLink.empty() || unixTarget.empty()) {
        return runUntil(nullptr, "cmd /c mklink /J \"" + link + "\" \"" + target + "\"", link,
                        true);
    }
    return runUntil("Z:\\bin\\ln", "/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", link,
                    true);
}

bool removeJunction(const std::string &link) {
    const std::string unixLink = unixPath(link);
    if (unixLink.empty()) {
        return RemoveDirectoryA(link.c_str()) != FALSE;
    }
    return runUntil("Z:\\bin\\rm", "/bin/rm \"" + unixLink + "\"", link, false);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool fileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void setString(HKEY root, const std::string &path, const char *name, const std::string &value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void setDword(HKEY root, const std::string &path, const char *name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(key);
}

bool readString(HKEY root, const std::string &path, const char *name, std::string &value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char data[4096] = "";
    DWORD size = sizeof data - 1;
    const bool ok = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data),
                                     &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    value = data;
    return ok;
}

bool readDword(HKEY root, const std::string &path, const char *name, DWORD &value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = sizeof value;
    const bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_DWORD;
    RegCloseKey(key);
    return ok;
}

void deleteTree(HKEY root, const std::string &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) {
        deleteTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

ProviderOrderKeeper::ProviderOrderKeeper() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    ini_ = std::string(windows) + "\\QLNQUILL.INI";
    hadOrder_ = readString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", savedOrder_);
}

ProviderOrderKeeper::~ProviderOrderKeeper() {
    if (hadOrder_) {
        setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", savedOrder_);
    }
    DeleteFileA(ini_.c_str());
}

std::string ProviderOrderKeeper::order() {
    std::string value;
    EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", value));
    return value;
}

} // namespace wine
