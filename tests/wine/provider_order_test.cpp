// The network provider order of the real DLL in Wine's registry, with its
// debug log written by Wine's WritePrivateProfileStringA to QLNQUILL.INI in
// the Windows folder.
#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "wine_support.h"

namespace {

constexpr const char *kOrderKey = wine::ProviderOrderKeeper::kOrderKey;

class WineProviderOrder : public ::testing::Test {
protected:
    static std::string order() { return wine::ProviderOrderKeeper::order(); }

    // The logged messages in line order, each checked for its time stamp.
    std::vector<std::string> logged() const {
        std::vector<std::string> messages;
        const UINT last = GetPrivateProfileIntA("DebugIniMsgs", "LastLine", 0, ini.c_str());
        const std::regex stamped(
            "\\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|"
            "Aug|Sep|Oct|Nov|Dec) \\d\\d \\d\\d:\\d\\d (AM|PM) \\d{4}\\] (.*)");
        for (UINT line = 1; line <= last; ++line) {
            char key[16];
            std::snprintf(key, sizeof key, "%03u", line);
            char text[2048] = "";
            GetPrivateProfileStringA("DebugIniMsgs", key, "", text, sizeof text, ini.c_str());
            std::cmatch match;
            EXPECT_TRUE(std::regex_match(text, match, stamped)) << key << "=" << text;
            messages.push_back(match.size() == 5 ? match[4].str() : text);
        }
        return messages;
    }

    wine::ProviderOrderKeeper keeper;
    const std::string ini = keeper.debugIni();
};

TEST_F(WineProviderOrder, EditsTheOrderAndLogsEachStepInTheWindowsFolder) {
    wine::writeFile(ini, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
    wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder",
                    "RDPNP,QLNNET,LanmanWorkstation");
    wine::Library library;
    EXPECT_EQ(library->HKAddNetworkProviderEX(), 0);
    EXPECT_EQ(order(), "QLNNET,RDPNP,LanmanWorkstation");
    SetupCallRecord record{};
    EXPECT_EQ(library->HKAddNetworkProvider(&record), 0);
    EXPECT_EQ(order(), "QLNNET,RDPNP,LanmanWorkstation");
    EXPECT_EQ(library->HKRemoveNetworkProvider(&record), 0);
    EXPECT_EQ(order(), "RDPNP,LanmanWorkstation");
    EXPECT_EQ(library->HKRemoveNetworkProviderEX(), 0);
    EXPECT_EQ(order(), "RDPNP,LanmanWorkstation");

    const std::vector<std::string> log = logged();
    ASSERT_EQ(log.size(), 23u + 6u + 8u + 4u);
    EXPECT_EQ(log[0], "QLNAddNetworkProvider: Entered");
    EXPECT_EQ(log[5], "QLNAddNetworkProvider: in Condition 2 =RDPNP,QLNNET,LanmanWorkstation");
    EXPECT_EQ(log[10], "QLNRemoveNetworkProvider: In 2 szValue= RDPNP,LanmanWorkstation");
    EXPECT_EQ(log[19], "QLNAddNetworkProvider: szNewValue Before RegSetValueEx "
                       "=QLNNET,RDPNP,LanmanWorkstation");
    EXPECT_EQ(log[22], "QLNAddNetworkProvider: returning TRUE");
    EXPECT_EQ(log[27], "QLNAddNetworkProvider: in Condition 1 =QLNNET,RDPNP,LanmanWorkstation");
    EXPECT_EQ(log[35], "QLNRemoveNetworkProvider: RegSetValueEx returns 0");
    EXPECT_EQ(log.back(), "QLNRemoveNetworkProvider: szValue - NULL - returning TRUE");
}

TEST_F(WineProviderOrder, TheLogWrapsInItsRingOfKeys) {
    wine::writeFile(ini, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\nMaxLine=2\r\n");
    wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", "RDPNP");
    wine::Library library;
    library->HKRemoveNetworkProviderEX(); // four lines in a ring of two
    EXPECT_EQ(GetPrivateProfileIntA("DebugIniMsgs", "LastLine", 0, ini.c_str()), 2u);
    const std::vector<std::string> log = logged();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "QLNRemoveNetworkProvider: After RegQueryValueEx  =RDPNP");
    EXPECT_EQ(log[1], "QLNRemoveNetworkProvider: szValue - NULL - returning TRUE");
    char third[16] = "";
    GetPrivateProfileStringA("DebugIniMsgs", "003", "(none)", third, sizeof third, ini.c_str());
    EXPECT_STREQ(third, "(none)");
}

TEST_F(WineProviderOrder, WithLoggingOffTheOrderChangesAndNoLogIsWritten) {
    wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", "RDPNP");
    wine::Library library;
    library->HKAddNetworkProviderEX();
    EXPECT_EQ(order(), "QLNNET,RDPNP");
    EXPECT_FALSE(wine::fileExists(ini));
}

// An order of 150,000 entries QLNNET (about 1 MB) is put right in one read
// and one write: rewriting it once per entry took over an hour.
TEST_F(WineProviderOrder, AHugeOrderIsPutRightInMomentsWithItsLogOn) {
    wine::writeFile(ini, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
    std::string huge = "RDPNP";
    for (int entry = 0; entry < 150000; ++entry) {
        huge += ",QLNNET";
    }
    wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", huge + ",QLNNETX");
    wine::Library library;
    const DWORD start = GetTickCount();
    EXPECT_EQ(library->HKAddNetworkProviderEX(), 0);
    EXPECT_LT(GetTickCount() - start, wine::kPatienceMs);
    EXPECT_EQ(order(), "QLNNET,RDPNP,QLNNETX");
    EXPECT_LT(logged().size(), 300u);
}

} // namespace
