// The network provider order on the emulated machine: both outcome tables,
// the debug log lines of each path, and orders of any length kept whole.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "emulator/system/calendar.h"
#include "platform/profile.h"
#include "radozavu.h"
#include "support/machine_test.h"
#include "os/provider_order.h"

namespace {

using os::kOrderKey;

constexpr const char *kWindowsIni = "C:\\WINDOWS\\QLNQUILL.INI";

class ProviderOrder : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        registry().create(HKEY_LOCAL_MACHINE, kOrderKey);
    }

    static void store(const std::optional<std::string> &order) {
        auto key = emu::machine().registry.create(HKEY_LOCAL_MACHINE, kOrderKey);
        key->values.clear();
        if (order) {
            emu::machine().registry.setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder",
                                              *order);
        }
    }

    // The stored bytes: as a test stored them (with a terminator), or as the
    // library writes them (the text alone); nullopt when there is no value.
    static std::optional<std::vector<BYTE>> storedBytes() {
        const emu::RegValue *value =
            emu::machine().registry.value(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder");
        if (value == nullptr) {
            return std::nullopt;
        }
        EXPECT_EQ(value->type, REG_SZ);
        return value->data;
    }

    // The order as stored: written without its terminator, which the
    // registry adds since it follows the text (an empty order stays empty).
    static std::vector<BYTE> written(const std::string &order) {
        const std::size_t terminator = order.empty() ? 0 : 1;
        return std::vector<BYTE>(order.c_str(), order.c_str() + order.size() + terminator);
    }

    void switchLogOn() const {
        emu::setLocalTime(2006, 3, 7, 14, 5);
        writeFile(kWindowsIni, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\nMaxLine=999\r\n");
    }

    // The messages of the debug log, in the order they were written.
    static std::vector<std::string> logged() {
        std::vector<std::string> messages;
        const UINT last = win::GetPrivateProfileIntA("DebugIniMsgs", "LastLine", 0, kWindowsIni);
        for (UINT line = 1; line <= last; ++line) {
            char key[16];
            std::snprintf(key, sizeof key, "%03u", line);
            char text[2048];
            win::GetPrivateProfileStringA("DebugIniMsgs", key, "", text, sizeof text, kWindowsIni);
            const std::string stamp = "[Tue Mar 07 02:05 PM 2006] ";
            EXPECT_EQ(std::string(text).substr(0, stamp.size()), stamp);
            messages.push_back(std::string(text).substr(stamp.size()));
        }
        return messages;
    }
};

struct Outcome {
    std::optional<std::string> stored;
    std::optional<std::string> written; // nullopt: nothing is written
};

TEST_F(ProviderOrder, AddPutsQlnnetFirstAsTheTableSays) {
    const Outcome outcomes[] = {
        {std::nullopt, "QLNNET"},
        {"", "QLNNET"},
        {"QLNNET,LanmanWorkstation", std::nullopt},
        {"QLNNET", std::nullopt},
        {"RDPNP,QLNNET,LanmanWorkstation", "QLNNET,RDPNP,LanmanWorkstation"},
        {"RDPNP,QLNNET", "QLNNET,RDPNP,"},
        {"RDPNP,LanmanWorkstation", "QLNNET,RDPNP,LanmanWorkstation"},
        {"QLNNETX,RDPNP", "QLNNET,QLNNETX,RDPNP"},
        {"qlnnet,RDPNP", "QLNNET,qlnnet,RDPNP"},
        // A name that only ends in QLNNET is another provider's, kept whole.
        {"AQLNNET,RDPNP", "QLNNET,AQLNNET,RDPNP"},
        {"AQLNNET,QLNNET", "QLNNET,AQLNNET,"},
    };
    for (const Outcome &outcome : outcomes) {
        SCOPED_TRACE(outcome.stored.value_or("(absent)"));
        store(outcome.stored);
        const auto before = storedBytes();
        EXPECT_EQ(HKAddNetworkProviderEX(), 0);
        EXPECT_EQ(storedBytes(), outcome.written ? written(*outcome.written) : before);
    }
}

TEST_F(ProviderOrder, RemoveTakesTheFirstEntryOutAsTheTableSays) {
    const Outcome outcomes[] = {
        {std::nullopt, std::nullopt},
        {"", std::nullopt},
        {"RDPNP,LanmanWorkstation", std::nullopt},
        {"QLNNET", ""},
        {"QLNNET,RDPNP,LanmanWorkstation", "RDPNP,LanmanWorkstation"},
        {"RDPNP,QLNNET,LanmanWorkstation", "RDPNP,LanmanWorkstation"},
        {"RDPNP,QLNNET", "RDPNP,"},
        {"RDPNP,QLNNETX,LanmanWorkstation", "RDPNP,LanmanWorkstation"},
        {"RDPNPQLNNET,LanmanWorkstation", std::nullopt},
    };
    for (const Outcome &outcome : outcomes) {
        SCOPED_TRACE(outcome.stored.value_or("(absent)"));
        store(outcome.stored);
        const auto before = storedBytes();
        EXPECT_EQ(HKRemoveNetworkProviderEX(), 0);
        EXPECT_EQ(storedBytes(), outcome.written ? written(*outcome.written) : before);
    }
}

TEST_F(ProviderOrder, AddingTwiceOrAfterARemoveKeepsOneQlnnetAtTheHead) {
    SetupCallRecord record{};
    store("RDPNP,LanmanWorkstation");
    EXPECT_EQ(HKAddNetworkProvider(&record), 0);
    const auto once = storedBytes();
    EXPECT_EQ(HKAddNetworkProvider(nullptr), 0);
    EXPECT_EQ(storedBytes(), once);
    EXPECT_EQ(once, written("QLNNET,RDPNP,LanmanWorkstation"));

    // Removed when last, the comma before it stays and comes back behind.
    store("RDPNP,QLNNET");
    EXPECT_EQ(HKRemoveNetworkProvider(&record), 0);
    EXPECT_EQ(HKAddNetworkProviderEX(), 0);
    EXPECT_EQ(storedBytes(), written("QLNNET,RDPNP,"));

    // Several occurrences ahead of the head go one pass at a time.
    store("RDPNP,QLNNET,LanmanWorkstation,QLNNET,WebClient");
    EXPECT_EQ(HKAddNetworkProviderEX(), 0);
    EXPECT_EQ(storedBytes(), written("QLNNET,RDPNP,LanmanWorkstation,WebClient"));
}

TEST_F(ProviderOrder, AnAddThatMovesTheNameLogsEveryStep) {
    switchLogOn();
    store("RDPNP,QLNNET,LanmanWorkstation");
    HKAddNetworkProviderEX();
    const std::vector<std::string> expected = {
        "QLNAddNetworkProvider: Entered",
        "QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS",
        "QLNAddNetworkProvider: ProviderOrder=RDPNP,QLNNET,LanmanWorkstation",
        "QLNAddNetworkProvider: _tcslen=6",
        "QLNAddNetworkProvider: in Condition 1 =RDPNP,QLNNET,LanmanWorkstation",
        "QLNAddNetworkProvider: in Condition 2 =RDPNP,QLNNET,LanmanWorkstation",
        "QLNRemoveNetworkProvider: Entered",
        "QLNRemoveNetworkProvider: Inside loop -1",
        "QLNRemoveNetworkProvider: After RegQueryValueEx  =RDPNP,QLNNET,LanmanWorkstation",
        "QLNRemoveNetworkProvider: In 1  szValue=RDPNP,QLNNET,LanmanWorkstation",
        "QLNRemoveNetworkProvider: In 2 szValue= RDPNP,LanmanWorkstation",
        "QLNRemoveNetworkProvider: New Value= RDPNP,LanmanWorkstation",
        "QLNRemoveNetworkProvider: RegSetValueEx returns 0",
        "QLNRemoveNetworkProvider: Exiting",
        "QLNAddNetworkProvider: Entered",
        "QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS",
        "QLNAddNetworkProvider: ProviderOrder=RDPNP,LanmanWorkstation",
        "QLNAddNetworkProvider: _tcslen=6",
        "QLNAddNetworkProvider: szNewValue =RDPNP,LanmanWorkstation",
        "QLNAddNetworkProvider: szNewValue Before RegSetValueEx =QLNNET,RDPNP,LanmanWorkstation",
        "QLNAddNetworkProvider: RegSetValueEx returns 0",
        "QLNAddNetworkProvider: Exiting",
        "QLNAddNetworkProvider: returning TRUE",
    };
    EXPECT_EQ(logged(), expected);
}

TEST_F(ProviderOrder, ShortPathsLogTheirOwnLines) {
    switchLogOn();
    store(std::nullopt);
    HKAddNetworkProviderEX(); // empty order
    HKAddNetworkProviderEX(); // listed first
    store("QLNNET");
    HKRemoveNetworkProviderEX(); // the last entry: no comma after it
    HKRemoveNetworkProviderEX(); // empty order
    store("RDPNP");
    HKRemoveNetworkProviderEX(); // not listed
    const std::vector<std::string> expected = {
        "QLNAddNetworkProvider: Entered",
        "QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS",
        "QLNAddNetworkProvider: ProviderOrder=",
        "QLNAddNetworkProvider: szValue=QLNNET",
        "QLNAddNetworkProvider: szNewValue Before RegSetValueEx =QLNNET",
        "QLNAddNetworkProvider: RegSetValueEx returns 0",
        "QLNAddNetworkProvider: Exiting",
        "QLNAddNetworkProvider: Entered",
        "QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS",
        "QLNAddNetworkProvider: ProviderOrder=QLNNET",
        "QLNAddNetworkProvider: _tcslen=6",
        "QLNAddNetworkProvider: in Condition 1 =QLNNET",
        "QLNAddNetworkProvider: returning TRUE",
        "QLNRemoveNetworkProvider: Entered",
        "QLNRemoveNetworkProvider: Inside loop -1",
        "QLNRemoveNetworkProvider: After RegQueryValueEx  =QLNNET",
        "QLNRemoveNetworkProvider: In 1  szValue=QLNNET",
        "QLNRemoveNetworkProvider: New Value=", // the blank ending it is trimmed on reading
        "QLNRemoveNetworkProvider: RegSetValueEx returns 0",
        "QLNRemoveNetworkProvider: Exiting",
        "QLNRemoveNetworkProvider: Entered",
        "QLNRemoveNetworkProvider: Inside loop -1",
        "QLNRemoveNetworkProvider: After RegQueryValueEx  =",
        "QLNRemoveNetworkProvider: No szValue - returning TRUE",
        "QLNRemoveNetworkProvider: Entered",
        "QLNRemoveNetworkProvider: Inside loop -1",
        "QLNRemoveNetworkProvider: After RegQueryValueEx  =RDPNP",
        "QLNRemoveNetworkProvider: szValue - NULL - returning TRUE",
    };
    EXPECT_EQ(logged(), expected);
}

TEST_F(ProviderOrder, AKeyThatCannotBeOpenedIsLeftAlone) {
    switchLogOn();
    store("RDPNP");
    registry().find(HKEY_LOCAL_MACHINE, kOrderKey)->denyWrite = true;
    HKAddNetworkProviderEX();
    registry()
        .find(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\NetworkProvider")
        ->subkeys.clear();
    HKRemoveNetworkProviderEX();
    const std::vector<std::string> expected = {
        "QLNAddNetworkProvider: Entered",
        "QLNAddNetworkProvider: Exiting",
        "QLNRemoveNetworkProvider: Entered",
        "QLNRemoveNetworkProvider: Exiting",
    };
    EXPECT_EQ(logged(), expected);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, kOrderKey)) << "the key is never created";
}

TEST_F(ProviderOrder, WithLoggingOffNothingIsWrittenToTheLogFile) {
    store("RDPNP,QLNNET");
    HKAddNetworkProviderEX();
    HKRemoveNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written("RDPNP,"));
    EXPECT_FALSE(fileExists(kWindowsIni));
    // The wait cursor was shown and put back.
    EXPECT_FALSE(machine().processes.user.cursorHistory.empty());
    EXPECT_EQ(machine().processes.user.cursor, nullptr);
}

// The order is read and built whole, however long it is: nothing is lost
// or cut, and the debug log keeps its own 1,023-character limit.
TEST_F(ProviderOrder, OrdersOfAnyLengthAreKeptWhole) {
    std::string others;
    for (int n = 0; others.size() < 400; ++n) {
        others += (n == 0 ? "" : ",") + std::string("Provider") + std::to_string(n);
    }
    store(others);
    HKAddNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written("QLNNET," + others));

    store(others + ",QLNNET," + others);
    HKAddNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written("QLNNET," + others + "," + others));

    store(std::string(255, 'p') + ",QLNNET");
    HKRemoveNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written(std::string(255, 'p') + ","));
}

// An order with a hundred and fifty thousand entries QLNNET ahead of the
// head is read once and written once: the add takes time in proportion to
// the order's length, and its log tells the first moves and sums up the rest.
TEST_F(ProviderOrder, HugeOrdersAreMovedInOneReadAndOneWrite) {
    switchLogOn();
    constexpr int kEntries = 150000;
    std::string order = "RDPNP";
    for (int n = 0; n < kEntries; ++n) {
        order += ",QLNNET";
    }
    store(order + ",QLNNETX");
    const std::uint64_t callsBefore = machine().faults.calls(emu::FaultArea::Registry);
    HKAddNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written("QLNNET,RDPNP,QLNNETX"));
    // Open, read (size, then data), write, close.
    EXPECT_LE(machine().faults.calls(emu::FaultArea::Registry) - callsBefore, 5u);
    const std::vector<std::string> log = logged();
    EXPECT_LT(log.size(), 300u);
    const std::string summary = "QLNAddNetworkProvider: " + std::to_string(kEntries - 16) +
                                " more entries QLNNET taken out; ProviderOrder=RDPNP,QLNNETX";
    EXPECT_NE(std::find(log.begin(), log.end(), summary), log.end());
    EXPECT_EQ(log.back(), "QLNAddNetworkProvider: returning TRUE");

    // The last entry taken out leaves the comma before it, as a single move does.
    store("RDPNP,QLNNET,QLNNET,QLNNET");
    HKAddNetworkProviderEX();
    EXPECT_EQ(storedBytes(), written("QLNNET,RDPNP,"));
}

// Were the shortened order never stored, the add would find the name in the
// same place again and again; it stops after one try instead.
TEST_F(ProviderOrder, AnOrderThatCannotBeStoredEndsTheAdd) {
    switchLogOn();
    store("RDPNP,QLNNET");
    const auto before = storedBytes();
    machine().faults.failEvery(emu::FaultArea::Registry, 1450, "RegSetValueExA"); // no resources
    EXPECT_EQ(HKAddNetworkProviderEX(), 0);
    EXPECT_EQ(storedBytes(), before);
    const std::vector<std::string> log = logged();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "QLNRemoveNetworkProvider: RegSetValueEx returns 1450");
    EXPECT_EQ(log[log.size() - 2], "QLNRemoveNetworkProvider: Exiting");
    EXPECT_EQ(log.back(), "QLNAddNetworkProvider: returning TRUE");
}

} // namespace
