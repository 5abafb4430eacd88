// The install action log of the real DLL: lines appended to a real file
// through CreateFileA, SetFilePointer and WriteFile, stamped with the local
// time in English whatever locale the installer's process has chosen.
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <regex>

#include "wine_support.h"

namespace {

// The stamp of a local time as the library writes it.
std::string stampOf(const SYSTEMTIME &time) {
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int hour12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d %s %d", days[time.wDayOfWeek],
                  months[time.wMonth - 1], time.wDay, hour12, time.wMinute,
                  time.wHour < 12 ? "AM" : "PM", time.wYear);
    return text;
}

class WineActionLog : public ::testing::Test {
protected:
    void SetUp() override {
        folder = wine::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        logPath = folder + "install.log";
        setupIni = folder + "QLNSETUP.INI";
        wine::writeFile(setupIni, "[Configuration]\r\nInstallActionLog=" + logPath + "\r\n");
    }

    int addLine(const std::string &paramText) {
        SetupCallRecord record{};
        record.ParamText = paramText.c_str();
        return library->HKSetupAddActionLog(&record);
    }

    // Calls the export and checks the line it appended against the local
    // time taken just before and just after the call.
    void expectLine(const std::string &message, const std::string &before) {
        SYSTEMTIME start;
        GetLocalTime(&start);
        EXPECT_EQ(addLine(setupIni + "|" + message), 0);
        SYSTEMTIME end;
        GetLocalTime(&end);
        const std::string content = wine::readFile(logPath);
        ASSERT_EQ(content.compare(0, before.size(), before), 0) << "earlier lines changed";
        const std::string line = content.substr(before.size());
        EXPECT_TRUE(line == stampOf(start) + " : " + message + "\r\n" ||
                    line == stampOf(end) + " : " + message + "\r\n")
            << line;
    }

    wine::Library library;
    std::string folder;
    std::string logPath;
    std::string setupIni;
};

TEST_F(WineActionLog, AppendsStampedLinesInCallOrder) {
    wine::writeFile(logPath, "earlier\r\n");
    expectLine("Copied files", "earlier\r\n");
    const std::string afterFirst = wine::readFile(logPath);
    expectLine("Registered a|b", afterFirst);
    const std::string afterSecond = wine::readFile(logPath);
    EXPECT_EQ(addLine(setupIni + " no bar"), 1);
    EXPECT_EQ(wine::readFile(logPath), afterSecond);
}

TEST_F(WineActionLog, StampStaysEnglishUnderAGermanProcessLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "German"), nullptr);
    std::tm tuesday{};
    tuesday.tm_wday = 2;
    tuesday.tm_mon = 2;
    char german[32];
    std::strftime(german, sizeof german, "%a %b", &tuesday);
    expectLine("German locale", "");
    std::setlocale(LC_ALL, "C");
    EXPECT_STRNE(german, "Tue Mar") << "the process locale did not change";
    const std::regex english(
        "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|"
        "Oct|Nov|Dec) \\d\\d \\d\\d:\\d\\d (AM|PM) \\d{4} : German locale\r\n");
    EXPECT_TRUE(std::regex_match(wine::readFile(logPath), english)) << wine::readFile(logPath);
}

TEST_F(WineActionLog, ALogHeldOpenWithoutSharingLosesTheLine) {
    HANDLE held = CreateFileA(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(addLine(setupIni + "|lost"), 0);
    CloseHandle(held);
    EXPECT_EQ(wine::readFile(logPath), "");
    expectLine("kept", "");

    // A folder that does not exist: nothing is created.
    wine::writeFile(setupIni, "[Configuration]\r\nInstallActionLog=" + folder + "none\\x.log\r\n");
    EXPECT_EQ(addLine(setupIni + "|nowhere"), 0);
    EXPECT_FALSE(wine::fileExists(folder + "none"));
}

} // namespace
