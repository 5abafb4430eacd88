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

Library::Library() {
    module_ = LoadLibraryA((programFolder() + "RADOZAVU.DLL").c_str());
    EXPECT_NE(module_, nullptr) << "RADOZAVU.DLL did not load: " << GetLastError();
}

Library::~Library() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

FARPROC Library::find(const char *name) const {
    FARPROC entry = module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
    EXPECT_NE(entry, nullptr) << "no export " << name;
    return entry;
}

BoxWatcher::BoxWatcher(std::string title, DWORD timeoutMs)
    : BoxWatcher(std::move(title), nullptr, timeoutMs) {}

BoxWatcher::BoxWatcher(std::string title, std::function<void()> beforeAnswer, DWORD timeoutMs)
    : title_(std::move(title)), timeoutMs_(timeoutMs), beforeAnswer_(std::move(beforeAnswer)) {
    thread_ = std::thread([this] {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs_) {
            HWND box = FindWindowA("#32770", title_.c_str());
            if (box != nullptr && IsWindowVisible(box)) {
                box_.seen = true;
                box_.owner = GetWindow(box, GW_OWNER);
                box_.title = title_;
                char text[2048] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                box_.text = text;
                // The icon control: 20 in Windows' box template, 1088 in Wine's.
                // Wine keeps its control visible in a box without an icon,
                // holding no icon.
                for (int id : {20, 1088}) {
                    HWND icon = GetDlgItem(box, id);
                    box_.hasIcon = box_.hasIcon ||
                                   (icon != nullptr && IsWindowVisible(icon) &&
                                    SendMessageA(icon, STM_GETICON, 0, 0) != 0);
                }
                if (beforeAnswer_) {
                    beforeAnswer_();
                }
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
}

BoxWatcher::~BoxWatcher() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

SeenBox BoxWatcher::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return box_;
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
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void setDword(HKEY root, const std::string &path, const char *name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
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
    const bool ok = RegQueryValueExA(key, name, nullptr, nullptr,
                                     reinterpret_cast<BYTE *>(data), &size) == ERROR_SUCCESS;
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

} // namespace wine
