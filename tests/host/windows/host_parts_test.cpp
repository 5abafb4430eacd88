// The parts of radozavu.exe that only Windows has, under Wine: the user
// watcher (boxes answered as the script says and recorded, the session's
// end refused or let through) and the snapshots behind the change report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "windows/snapshot.h"
#include "windows/user_watcher.h"

namespace {

using host::BoxRecord;

bool reports(const std::vector<std::string> &changes, const std::string &line) {
    return std::find(changes.begin(), changes.end(), line) != changes.end();
}

TEST(HostUserWatcher, AnswersEachBoxAsToldAndRecordsIt) {
    struct Case {
        UINT style;
        int answer;
        int expected; // the button pressed: the one asked for, else the box's first
        std::vector<std::string> buttons;
    };
    const Case cases[] = {
        {MB_OK, IDOK, IDOK, {"OK"}},
        {MB_YESNO, IDNO, IDNO, {"&Yes", "&No"}},
        {MB_YESNO, IDOK, IDYES, {"&Yes", "&No"}},
    };
    host::UserWatcher watcher(false);
    for (const Case &c : cases) {
        watcher.setAnswer(c.answer, {});
        EXPECT_EQ(MessageBoxA(nullptr, "the text\nof the box", "Host watcher check", c.style),
                  c.expected);
        const std::vector<BoxRecord> boxes = watcher.takeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Host watcher check");
        EXPECT_EQ(boxes[0].text, "the text\nof the box");
        EXPECT_EQ(boxes[0].buttons, c.buttons);
        EXPECT_EQ(boxes[0].answer, c.expected);
        EXPECT_EQ(boxes[0].owner, 0u);
    }
}

TEST(HostUserWatcher, RefusesTheSessionsEndUnlessAllowed) {
    for (const bool allowed : {false, true}) {
        host::UserWatcher watcher(allowed);
        HWND session = FindWindowA("RadozavuHostSession", nullptr);
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(SendMessageA(session, WM_QUERYENDSESSION, 0, 0), allowed ? TRUE : FALSE);
        EXPECT_TRUE(watcher.waitForSessionQuestion(host::kPatienceMs));
        const std::vector<host::RestartRecord> restarts = watcher.takeRestarts();
        ASSERT_EQ(restarts.size(), 1u);
        EXPECT_EQ(restarts[0].outcome,
                  allowed ? "let through (--allow-restart)" : "refused by the host");
    }
}

TEST(HostSnapshots, TellWhatChangedInTheWatchedPlacesAndProcesses) {
    CreateDirectoryA("C:\\radozavu-host-test", nullptr);
    host::RealSnapshots snapshots;
    snapshots.watch({"HKCU\\Software\\RadozavuHostTest", "C:\\radozavu-host-test", "C:\\"});
    char folder[MAX_PATH];
    GetModuleFileNameA(nullptr, folder, MAX_PATH);
    *std::strrchr(folder, '\\') = '\0';
    std::string line =
        std::string("\"") + folder + "\\program_standin.exe\" \"Host snapshot check\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &program));
    HWND window = nullptr;
    for (const DWORD start = GetTickCount();
         (window = FindWindowA(nullptr, "Host snapshot check")) == nullptr &&
         GetTickCount() - start < host::kPatienceMs;
         Sleep(20)) {
    }
    const host::Snapshot before = snapshots.before();

    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\RadozavuHostTest", &key);
    RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
    RegCloseKey(key);
    HANDLE file = CreateFileA("C:\\radozavu-host-test\\a.txt", GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "abc", 3, &written, nullptr);
    CloseHandle(file);
    PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(program.hProcess, host::kPatienceMs);
    HMODULE sibling = LoadLibraryA((std::string(folder) + "\\Rezedev.dll").c_str());
    HMODULE system = LoadLibraryA("version.dll");

    const std::vector<std::string> changes = host::describeChanges(before, snapshots.after(), {});
    EXPECT_TRUE(reports(changes, "registry key added      HKCU\\Software\\RadozavuHostTest"));
    EXPECT_TRUE(reports(changes, "registry value added    HKCU\\Software\\RadozavuHostTest "
                                 "\"Name\" = REG_SZ \"x\" (2 bytes)"));
    EXPECT_TRUE(reports(changes, "file created            C:\\radozavu-host-test\\a.txt (" +
                                     host::describeFile("abc") + ")"));
    EXPECT_TRUE(reports(changes, "window closed           \"Host snapshot check\""));
    EXPECT_TRUE(reports(changes, std::string("process ended           ") + folder +
                                     "\\program_standin.exe (exit code 5)"));
    // Nothing else of the drive's root is watched, however the script names it.
    EXPECT_EQ(changes.size(), 5u);
    EXPECT_EQ(snapshots.librariesLoaded(),
              std::vector<std::string>{std::string(folder) + "\\Rezedev.dll"});

    FreeLibrary(system);
    FreeLibrary(sibling);
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\RadozavuHostTest");
    DeleteFileA("C:\\radozavu-host-test\\a.txt");
    RemoveDirectoryA("C:\\radozavu-host-test");
}

// Run in a 32-bit prefix and, as wine64.host-parts, under WoW64 in a 64-bit
// one: a key and a file named as the 32-bit host sees them are reported where
// they lie, as a 64-bit registry editor and file manager show them.
TEST(HostSnapshots, NameKeysAndFilesWhereTheyLie) {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    char realSystem[MAX_PATH];
    ASSERT_GT(wow64 ? GetSystemWow64DirectoryA(realSystem, MAX_PATH)
                    : GetSystemDirectoryA(realSystem, MAX_PATH),
              0u);
    const std::string file = std::string(system) + "\\radozavu-host-test.txt";
    const struct {
        HKEY root;
        const char *watched;
        const char *reported; // under WoW64; elsewhere the key as watched
    } keys[] = {
        {HKEY_LOCAL_MACHINE, "HKLM\\Software\\RadozavuHostTest",
         "HKLM\\Software\\Wow6432Node\\RadozavuHostTest"},
        {HKEY_CURRENT_USER, "HKCU\\Software\\RadozavuHostTest", "HKCU\\Software\\RadozavuHostTest"},
    };
    host::RealSnapshots snapshots;
    snapshots.watch({keys[0].watched, keys[1].watched, file});
    const host::Snapshot before = snapshots.before();
    for (const auto &key : keys) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyA(key.root, std::strchr(key.watched, '\\') + 1, &created), 0);
        RegCloseKey(created);
    }
    HANDLE written =
        CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(written, INVALID_HANDLE_VALUE);
    CloseHandle(written);

    std::vector<std::string> changes = host::describeChanges(before, snapshots.after(), {});
    const auto lowered = [](std::string text) {
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
        return text;
    };
    std::transform(changes.begin(), changes.end(), changes.begin(), lowered);
    for (const auto &key : keys) {
        EXPECT_TRUE(reports(changes, lowered(std::string("registry key added      ") +
                                             (wow64 ? key.reported : key.watched))))
            << key.watched;
    }
    EXPECT_TRUE(
        reports(changes, lowered("file created            " + std::string(realSystem) +
                                 "\\radozavu-host-test.txt (" + host::describeFile("") + ")")));
    EXPECT_EQ(changes.size(), 3u);

    for (const auto &key : keys) {
        RegDeleteKeyA(key.root, std::strchr(key.watched, '\\') + 1);
    }
    DeleteFileA(file.c_str());
}

} // namespace
