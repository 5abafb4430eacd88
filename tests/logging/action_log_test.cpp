// The install action log on the emulated machine: HKSetupAddActionLog, the
// line format, its results and the files it writes or leaves alone.
#include <sys/stat.h>

#include <string>

#include "emulator/system/calendar.h"
#include "platform/file_io.h"
#include "base/handles.h"
#include "platform/user.h"
#include "radozavu.h"
#include "support/machine_test.h"

namespace {

constexpr const char *kSetupIni = "C:\\Setup\\QLNSETUP.INI";
constexpr const char *kLog = "C:\\Logs\\install.log";
constexpr const char *kStamp = "Tue Mar 07 02:05 PM 2006";

class ActionLog : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        emu::setLocalTime(2006, 3, 7, 14, 5);
        makeFolder("C:\\Logs");
        nameLog(kLog);
    }

    void nameLog(const std::string &logPath) const {
        writeFile(kSetupIni, "[Configuration]\r\nInstallActionLog=" + logPath + "\r\n");
    }

    static int addLine(const std::string &paramText) {
        SetupCallRecord record{};
        record.ParamText = paramText.c_str();
        return HKSetupAddActionLog(&record);
    }

    static std::string line(const std::string &message) {
        return std::string(kStamp) + " : " + message + "\r\n";
    }
};

TEST_F(ActionLog, AppendsAStampedLineAndShowsTheWaitCursor) {
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|Copied files"), 0);
    EXPECT_EQ(readFile(kLog), line("Copied files"));
    const auto &cursors = machine().processes.user.cursorHistory;
    ASSERT_EQ(cursors.size(), 2u);
    EXPECT_EQ(cursors[0], win::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(machine().processes.user.cursor, nullptr);
}

TEST_F(ActionLog, LinesAreAppendedInCallOrderAfterWhatIsThere) {
    writeFile(kLog, "earlier content\r\n");
    addLine(std::string(kSetupIni) + "|first");
    emu::setLocalTime(2006, 3, 8, 9, 0);
    addLine(std::string(kSetupIni) + "|second");
    EXPECT_EQ(readFile(kLog),
              "earlier content\r\n" + line("first") + "Wed Mar 08 09:00 AM 2006 : second\r\n");
}

TEST_F(ActionLog, ResultsFollowTheRecordAndTheBar) {
    EXPECT_EQ(HKSetupAddActionLog(nullptr), 1);
    SetupCallRecord empty{};
    EXPECT_EQ(HKSetupAddActionLog(&empty), 1);
    EXPECT_TRUE(machine().processes.user.cursorHistory.empty())
        << "no cursor before a text is found";

    EXPECT_EQ(addLine(std::string(kSetupIni) + " Copied files"), 1);
    EXPECT_FALSE(fileExists(kLog));
    EXPECT_EQ(addLine("|Copied files"), 0); // no profile file: nothing written
    EXPECT_FALSE(fileExists(kLog));

    EXPECT_EQ(addLine(std::string(kSetupIni) + "|"), 0);
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|a|b"), 0);
    EXPECT_EQ(readFile(kLog), line("") + line("a|b"));
}

TEST_F(ActionLog, TheBarIsFoundWithoutTakingATrailByteForIt) {
    machine().system.codePage = 932;
    // 0x81 0x7C is one double-byte character whose second byte is "|".
    const std::string setupIni = "C:\\Setup\x81\x7C\\QLNSETUP.INI";
    writeFile(setupIni, std::string("[Configuration]\r\nInstallActionLog=") + kLog + "\r\n");
    EXPECT_EQ(addLine(setupIni + "|installed"), 0);
    EXPECT_EQ(readFile(kLog), line("installed"));
}

TEST_F(ActionLog, NothingIsWrittenWithoutAUsableLogSetting) {
    writeFile(kSetupIni, "[Configuration]\r\nInstallActionLog=\r\n");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|empty setting"), 0);
    writeFile(kSetupIni, "[Configuration]\r\nProgramGroup=Quillane\r\n");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|no setting"), 0);
    EXPECT_EQ(addLine("C:\\Setup\\MISSING.INI|no profile file"), 0);

    nameLog("C:\\NoSuchFolder\\install.log");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|missing folder"), 0);
    EXPECT_FALSE(fileExists("C:\\NoSuchFolder"));

    // A value longer than a path is refused, never cut to another file's name.
    const std::string overlong = "C:\\Logs\\" + std::string(292, 'a');
    nameLog(overlong);
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|overlong setting"), 0);
    EXPECT_FALSE(fileExists(overlong.substr(0, 259)));
}

TEST_F(ActionLog, TheSettingIsUsedAsWrittenWithoutExpansion) {
    makeFolder("C:\\%WINDIR%");
    nameLog("%WINDIR%\\install.log");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|not expanded"), 0);
    EXPECT_EQ(readFile("C:\\%WINDIR%\\install.log"), line("not expanded"));
    EXPECT_FALSE(fileExists("C:\\WINDOWS\\install.log"));
}

TEST_F(ActionLog, ALogHeldOpenWithoutSharingLosesOnlyThatLine) {
    {
        const handles::UniqueFileHandle held(win::CreateFileA(
            kLog, GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(addLine(std::string(kSetupIni) + "|lost"), 0);
    }
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|kept"), 0);
    EXPECT_EQ(readFile(kLog), line("kept"));
}

TEST_F(ActionLog, AReadOnlyLogIsLeftAsItIs) {
    writeFile(kLog, "old\r\n");
    ASSERT_EQ(chmod(hostPath(kLog).c_str(), 0444), 0);
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|refused"), 0);
    EXPECT_EQ(readFile(kLog), "old\r\n");
}

TEST_F(ActionLog, AFailedSeekWritesNothingAndAFailedWriteIsNotReported) {
    writeFile(kLog, "first line\r\n");
    machine().faults.failCall(emu::FaultArea::Files, 1, ERROR_INVALID_PARAMETER, "SetFilePointer");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|would overwrite the start"), 0);
    EXPECT_EQ(readFile(kLog), "first line\r\n");

    machine().faults.failCall(emu::FaultArea::Files, 1, ERROR_DISK_FULL, "WriteFile");
    EXPECT_EQ(addLine(std::string(kSetupIni) + "|disk full"), 0);
    EXPECT_EQ(readFile(kLog), "first line\r\n");
}

TEST_F(ActionLog, AnOverlongParameterTextKeepsItsPathAndCutsTheMessage) {
    // 20 bytes of path, the bar, then a message cut to the remaining 498 bytes.
    const std::string setupIni = "C:\\Setup\\QLNSETUP.INI";
    const std::string message(600, 'm');
    EXPECT_EQ(addLine(setupIni + "|" + message), 0);
    EXPECT_EQ(readFile(kLog), line(std::string(519 - setupIni.size() - 1, 'm')));

    // A double-byte character that would straddle the cut is left out whole.
    machine().system.codePage = 932;
    writeFile(kLog, "");
    const std::string prefix(519 - setupIni.size() - 2, 'k');
    EXPECT_EQ(addLine(setupIni + "|" + prefix + "\x82\xA0" + "tail"), 0);
    EXPECT_EQ(readFile(kLog), line(prefix));

    // A bar beyond the 519 bytes: the path would be cut, so nothing is written.
    writeFile(kLog, "");
    const std::string deepSetupIni = "C:\\Setup\\" + std::string(510, '.') + "\\..\\QLNSETUP.INI";
    EXPECT_EQ(addLine(deepSetupIni + "|too deep"), 0);
    EXPECT_EQ(readFile(kLog), "");
    EXPECT_EQ(addLine(std::string(600, 'n')), 1); // no bar at all
}

} // namespace
