// The debug message log on the emulated machine: the switch and its cache,
// the ring of numbered lines, the time stamp and the two files.
#include <sys/stat.h>

#include <string>

#include "logging/debug_log.h"
#include "emulator/system/calendar.h"
#include "platform/profile.h"
#include "support/machine_test.h"

namespace {

using logging::DebugLogInstall;
using logging::DebugLogWindows;

constexpr const char *kWindowsIni = "C:\\WINDOWS\\QLNQUILL.INI";
constexpr const char *kDefaultInstallIni = "C:\\Program Files\\Brevanta\\Quillane\\QLNQUILL.INI";

class DebugLog : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        emu::setLocalTime(2006, 3, 7, 14, 5);
    }

    void switchOn(const std::string &path, const std::string &more = "") const {
        writeFile(path, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n" + more);
    }

    static std::string value(const std::string &path, const char *key) {
        char text[2048];
        win::GetPrivateProfileStringA("DebugIniMsgs", key, "(none)", text, sizeof text,
                                      path.c_str());
        return text;
    }

    // Logs "message <n>" for n from first to last.
    static void logNumbered(int first, int last) {
        for (int n = first; n <= last; ++n) {
            DebugLogWindows("message %d", n);
        }
    }

    static std::string stamped(const std::string &message) {
        return "[Tue Mar 07 02:05 PM 2006] " + message;
    }
};

TEST_F(DebugLog, IsOffWithoutTheSwitchAndLeavesTheFileAlone) {
    EXPECT_EQ(DebugLogWindows("QLNAddNetworkProvider: Entered"), 0);
    EXPECT_FALSE(fileExists(kWindowsIni));

    const std::string content = "[DebugIniMsgs]\r\nMaxLine=5\r\nEnableDebugIniMessages=0\r\n";
    writeFile(kWindowsIni, content);
    reloadLibrary();
    EXPECT_EQ(DebugLogWindows("QLNAddNetworkProvider: Entered"), 0);
    EXPECT_EQ(readFile(kWindowsIni), content);
}

TEST_F(DebugLog, FirstLineGoesToKey001WithTheTimeStamp) {
    writeFile(kWindowsIni, "[DebugIniMsgs]\r\nEnableDebugIniMessages=7\r\n");
    EXPECT_EQ(DebugLogWindows("QLNAddNetworkProvider: ProviderOrder=%s", "LanmanWorkstation"), 7);
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");
    EXPECT_EQ(value(kWindowsIni, "001"),
              stamped("QLNAddNetworkProvider: ProviderOrder=LanmanWorkstation"));

    // The stamp follows the local time: midnight is 12 AM, noon 12 PM.
    emu::setLocalTime(2007, 12, 30, 0, 9);
    DebugLogWindows("after midnight");
    emu::setLocalTime(2008, 1, 1, 12, 59);
    DebugLogWindows("at noon");
    EXPECT_EQ(value(kWindowsIni, "002"), "[Sun Dec 30 12:09 AM 2007] after midnight");
    EXPECT_EQ(value(kWindowsIni, "003"), "[Tue Jan 01 12:59 PM 2008] at noon");
}

TEST_F(DebugLog, TheRingWrapsAfterTheDefaultHundredLines) {
    switchOn(kWindowsIni);
    logNumbered(1, 100);
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "100");
    EXPECT_EQ(value(kWindowsIni, "100"), stamped("message 100"));

    logNumbered(101, 101);
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("message 101"));
    EXPECT_EQ(value(kWindowsIni, "002"), stamped("message 2"));

    logNumbered(102, 199);
    EXPECT_EQ(value(kWindowsIni, "100"), stamped("message 100"));
    logNumbered(200, 200);
    EXPECT_EQ(value(kWindowsIni, "100"), stamped("message 200"));
}

TEST_F(DebugLog, KeysOfALargeRingGrowToFourDigits) {
    switchOn(kWindowsIni, "MaxLine=1000\r\nLastLine=998\r\n");
    logNumbered(1, 3);
    EXPECT_EQ(value(kWindowsIni, "999"), stamped("message 1"));
    EXPECT_EQ(value(kWindowsIni, "1000"), stamped("message 2"));
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("message 3"));
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");
}

TEST_F(DebugLog, RingSizesAreComparedAsUnsignedNumbers) {
    switchOn(kWindowsIni, "MaxLine=0\r\n");
    logNumbered(1, 3);
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("message 3"));
    EXPECT_EQ(value(kWindowsIni, "002"), "(none)");
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");

    // The ring made smaller by hand: the next message starts it again.
    switchOn(kWindowsIni, "MaxLine=5\r\nLastLine=9\r\n");
    reloadLibrary();
    logNumbered(4, 4);
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("message 4"));
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");

    // Compared as unsigned numbers, a MaxLine of -1 is the largest ring of all.
    switchOn(kWindowsIni, "MaxLine=-1\r\nLastLine=5\r\n");
    reloadLibrary();
    logNumbered(5, 5);
    EXPECT_EQ(value(kWindowsIni, "006"), stamped("message 5"));
}

TEST_F(DebugLog, LastLineIsReadForEveryMessageWhileTheSwitchesAreKept) {
    switchOn(kWindowsIni, "MaxLine=60\r\n");
    logNumbered(1, 1);
    // LastLine moved by hand is followed; MaxLine changed by hand is not.
    ASSERT_TRUE(win::WritePrivateProfileStringA("DebugIniMsgs", "LastLine", "50", kWindowsIni));
    ASSERT_TRUE(win::WritePrivateProfileStringA("DebugIniMsgs", "MaxLine", "20", kWindowsIni));
    logNumbered(2, 2);
    EXPECT_EQ(value(kWindowsIni, "051"), stamped("message 2"));

    // Switched off by hand: still on until the library is loaded again.
    ASSERT_TRUE(win::WritePrivateProfileStringA("DebugIniMsgs", "EnableDebugIniMessages", "0",
                                                kWindowsIni));
    EXPECT_EQ(DebugLogWindows("message 3"), 1);
    EXPECT_EQ(value(kWindowsIni, "052"), stamped("message 3"));
    reloadLibrary();
    EXPECT_EQ(DebugLogWindows("message 4"), 0);
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "52");
}

TEST_F(DebugLog, ASwitchTurnedOnAfterTheFirstCallWaitsForTheNextLoad) {
    EXPECT_EQ(DebugLogWindows("before"), 0);
    switchOn(kWindowsIni);
    EXPECT_EQ(DebugLogWindows("still off"), 0);
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "(none)");
    reloadLibrary();
    EXPECT_EQ(DebugLogWindows("on"), 1);
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("on"));
}

TEST_F(DebugLog, TheTwoFilesKeepSeparateSwitches) {
    makeFolder("C:\\Program Files\\Brevanta\\Quillane");
    EXPECT_EQ(DebugLogInstall("EWX_REBOOT"), 0); // no file yet: the install log is off
    switchOn(kWindowsIni);
    switchOn(kDefaultInstallIni);
    EXPECT_EQ(DebugLogWindows("QLNRemoveNetworkProvider: Entered"), 1);
    EXPECT_EQ(DebugLogInstall("EWX_REBOOT"), 0);
    EXPECT_EQ(value(kWindowsIni, "001"), stamped("QLNRemoveNetworkProvider: Entered"));
    EXPECT_EQ(value(kDefaultInstallIni, "LastLine"), "(none)");

    reloadLibrary();
    EXPECT_EQ(DebugLogInstall("EWX_REBOOT"), 1);
    EXPECT_EQ(value(kDefaultInstallIni, "001"), stamped("EWX_REBOOT"));
    EXPECT_EQ(value(kWindowsIni, "LastLine"), "1");
}

TEST_F(DebugLog, TheInstallFileFollowsTheRegisteredInstallFolderAtEveryAccess) {
    switchOn(kDefaultInstallIni);
    EXPECT_EQ(DebugLogInstall("before registration"), 1);
    EXPECT_EQ(value(kDefaultInstallIni, "001"), stamped("before registration"));

    makeFolder("C:\\Quillane");
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "Install Location",
                         "C:\\Quillane\\");
    EXPECT_EQ(DebugLogInstall("after registration"), 1);
    EXPECT_EQ(value("C:\\Quillane\\QLNQUILL.INI", "001"), stamped("after registration"));
    EXPECT_EQ(value("C:\\Quillane\\QLNQUILL.INI", "LastLine"), "1");
    EXPECT_EQ(value(kDefaultInstallIni, "LastLine"), "1");
}

TEST_F(DebugLog, AnInstallFolderTooLongForAPathLeavesTheLogOff) {
    const std::string folder = "C:\\" + std::string(246, 'q'); // 249 + "\QLNQUILL.INI" > 259
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "Install Location", folder);
    switchOn(folder + "\\QLNQUILL.INI");
    EXPECT_EQ(DebugLogInstall("EWX_REBOOT"), 0);
    EXPECT_EQ(value(folder + "\\QLNQUILL.INI", "LastLine"), "(none)");
}

TEST_F(DebugLog, MessagesAreCutAt1023CharactersOnACharacterBoundary) {
    switchOn(kWindowsIni);
    const std::string longText(1500, 'x');
    DebugLogWindows("%s", longText.c_str());
    EXPECT_EQ(value(kWindowsIni, "001"), stamped(std::string(1023, 'x')));

    machine().system.codePage = 932;
    DebugLogWindows("%s\x82\xA0", std::string(1022, 'y').c_str());
    EXPECT_EQ(value(kWindowsIni, "002"), stamped(std::string(1022, 'y')));
}

TEST_F(DebugLog, ALocalTimeTheSystemCannotGiveLeavesTheMessageAlone) {
    switchOn(kWindowsIni);
    emu::setLocalTime(1969, 1, 1, 0, 0); // the runtime gives no local time before 1970
    EXPECT_EQ(DebugLogWindows("QLNAddNetworkProvider: Exiting"), 1);
    EXPECT_EQ(value(kWindowsIni, "001"), "QLNAddNetworkProvider: Exiting");
}

TEST_F(DebugLog, FailedWritesAreIgnored) {
    switchOn(kWindowsIni);
    ASSERT_EQ(chmod(hostPath(kWindowsIni).c_str(), 0444), 0);
    const std::string before = readFile(kWindowsIni);
    EXPECT_EQ(DebugLogWindows("QLNAddNetworkProvider: Entered"), 1);
    EXPECT_EQ(readFile(kWindowsIni), before);
}

} // namespace
