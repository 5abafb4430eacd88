// The product's registry store on the emulated machine.
#include <cstring>
#include <string>

#include "radozavu.h"
#include "registry/product_registry.h"
#include "support/machine_test.h"

namespace {

using namespace registry;

constexpr const char *kProduct = "Software\\Brevanta\\Quillane";

class ProductStore : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        registry().create(HKEY_LOCAL_MACHINE, "Software");
        registry().create(HKEY_CURRENT_USER, "Software");
    }
    static std::string installLocation() {
        char buffer[260];
        std::memset(buffer, '#', sizeof buffer);
        GetInstallLocation(buffer, sizeof buffer);
        return buffer;
    }
    void setInstallLocation(const std::string &folder) {
        registry().setString(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Current Version",
                             "Install Location", folder);
    }
};

TEST_F(ProductStore, WithoutAProductKeyReadsGiveDefaultsAndCreateNothing) {
    const char *fallback = "fallback";
    EXPECT_EQ(ReadProductDword("Preferences", "Any", 77, HKEY_LOCAL_MACHINE), 77u);
    EXPECT_EQ(ReadProductString("Preferences", "Any", fallback, HKEY_LOCAL_MACHINE), fallback);
    EXPECT_EQ(WriteProductString("Preferences", nullptr, nullptr, HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(installLocation(), kDefaultInstallFolder);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, "Software\\Brevanta"));
}

TEST_F(ProductStore, WritesCreateTheKeysOnTheWay) {
    EXPECT_EQ(WriteProductDword("Reserved", "ExitWindows", 1, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(ReadProductDword("Reserved", "ExitWindows", 0, HKEY_CURRENT_USER), 1u);
    EXPECT_EQ(WriteProductString("Preferences", "LastSetupTime", "1-2", HKEY_LOCAL_MACHINE), 1);
    const emu::RegValue *value = registry().value(
        HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Preferences", "LastSetupTime");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->data.size(), 4u); // the text and its terminator
}

TEST_F(ProductStore, DeletingAMissingValueFailsButLeavesTheKeysCreated) {
    EXPECT_EQ(WriteProductString("Preferences", "Missing", nullptr, HKEY_LOCAL_MACHINE), 0);
    EXPECT_TRUE(registry().keyExists(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Preferences"));
}

TEST_F(ProductStore, DeleteModesRemoveAValueOrTheWholeSection) {
    WriteProductString("Preferences", "A", "1", HKEY_LOCAL_MACHINE);
    WriteProductString("Preferences", "B", "2", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(WriteProductString("Preferences", "A", nullptr, HKEY_LOCAL_MACHINE), 1);
    EXPECT_EQ(ReadProductString("Preferences", "A", "gone", HKEY_LOCAL_MACHINE),
              std::string("gone"));
    EXPECT_EQ(WriteProductString("Preferences", nullptr, "ignored", HKEY_LOCAL_MACHINE), 1);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Preferences"));
}

TEST_F(ProductStore, OnlyRealDwordValuesAreRead) {
    const std::string section = std::string(kProduct) + "\\Preferences";
    registry().setString(HKEY_LOCAL_MACHINE, section, "Text", "1");
    registry().setBinary(HKEY_LOCAL_MACHINE, section, "Binary", {1, 0, 0, 0});
    registry().setBinary(HKEY_LOCAL_MACHINE, section, "Long", {1, 0, 0, 0, 0, 0, 0, 0}, REG_DWORD);
    registry().setDword(HKEY_LOCAL_MACHINE, section, "Real", 5);
    EXPECT_EQ(ReadProductDword("Preferences", "Text", 9, HKEY_LOCAL_MACHINE), 9u);
    EXPECT_EQ(ReadProductDword("Preferences", "Binary", 9, HKEY_LOCAL_MACHINE), 9u);
    EXPECT_EQ(ReadProductDword("Preferences", "Long", 9, HKEY_LOCAL_MACHINE), 9u);
    EXPECT_EQ(ReadProductDword("Preferences", "Real", 9, HKEY_LOCAL_MACHINE), 5u);
}

TEST_F(ProductStore, WithoutWriteAccessToSoftwareEveryMachineWriteFails) {
    registry().create(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Preferences");
    registry().find(HKEY_LOCAL_MACHINE, "Software")->denyWrite = true;
    EXPECT_EQ(WriteProductDword("Preferences", "X", 1, HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(WriteProductString("Preferences", "X", "1", HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(WriteProductDword("Preferences", "X", 1, HKEY_CURRENT_USER), 1);
    // Reading still works: Software is opened for reading only.
    registry().setDword(HKEY_LOCAL_MACHINE, std::string(kProduct) + "\\Preferences", "Y", 3);
    EXPECT_EQ(ReadProductDword("Preferences", "Y", 0, HKEY_LOCAL_MACHINE), 3u);
}

TEST_F(ProductStore, AUserPreferenceWinsOverTheMachineOne) {
    const std::string section = std::string(kProduct) + "\\Preferences";
    EXPECT_EQ(ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0), 0u);
    registry().setDword(HKEY_LOCAL_MACHINE, section, "DisableSp6ShutdownWorkaround", 1);
    EXPECT_EQ(ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0), 1u);
    registry().setDword(HKEY_CURRENT_USER, section, "DisableSp6ShutdownWorkaround", 0);
    EXPECT_EQ(ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0), 0u);
    registry().setString(HKEY_CURRENT_USER, section, "DisableSp6ShutdownWorkaround", "0");
    EXPECT_EQ(ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0), 1u);
}

TEST_F(ProductStore, LongStringsTakeTheGrowingTextAndComeBackWhole) {
    const std::string section = std::string(kProduct) + "\\Current Version";
    for (const std::size_t length : {258u, 259u, 5000u}) {
        const std::string text(length, 'n');
        registry().setString(HKEY_LOCAL_MACHINE, section, "Name", text);
        EXPECT_EQ(std::string(ReadProductString("Current Version", "Name", "", HKEY_LOCAL_MACHINE)),
                  text);
    }
    // The short buffer and the long text are separate storage.
    registry().setString(HKEY_LOCAL_MACHINE, section, "Short", "brief");
    const char *shortText = ReadProductString("Current Version", "Short", "", HKEY_LOCAL_MACHINE);
    const char *longText = ReadProductString("Current Version", "Name", "", HKEY_LOCAL_MACHINE);
    EXPECT_NE(shortText, longText);
    EXPECT_STREQ(shortText, "brief");
}

TEST_F(ProductStore, InstallLocationLosesOneTrailingBackslash) {
    struct Case {
        const char *stored;
        const char *expected;
    };
    for (const Case c : {Case{"D:\\Apps\\Quillane\\", "D:\\Apps\\Quillane"},
                         Case{"D:\\Apps\\Quillane", "D:\\Apps\\Quillane"}, Case{"C:\\", "C:"},
                         Case{"D:\\Apps\\\\", "D:\\Apps\\"}, Case{"", ""}}) {
        setInstallLocation(c.stored);
        EXPECT_EQ(installLocation(), c.expected) << c.stored;
    }
    setInstallLocation(std::string(300, 'x'));
    EXPECT_EQ(installLocation(), kDefaultInstallFolder);
}

TEST_F(ProductStore, InstallLocationCutsOnlyARealBackslashInDoubleByteText) {
    machine().system.codePage = 932;
    // 0x95 0x5C is one Japanese character whose second byte looks like a backslash.
    setInstallLocation("D:\\\x95\x5C");
    EXPECT_EQ(installLocation(), "D:\\\x95\x5C");
    setInstallLocation("D:\\\x95\x5C\\");
    EXPECT_EQ(installLocation(), "D:\\\x95\x5C");
}

TEST_F(ProductStore, OtherKeyNamesMoveTheInstallLocationButNotItsDefault) {
    setInstallLocation("D:\\Old");
    RADOzavu_SetRegistryInfo("Acme", "Syncer");
    registry().setString(HKEY_LOCAL_MACHINE, "Software\\Acme\\Syncer\\Current Version",
                         "Install Location", "E:\\New\\");
    EXPECT_EQ(installLocation(), "E:\\New");
    EXPECT_EQ(WriteProductDword("Preferences", "X", 1, HKEY_CURRENT_USER), 1);
    EXPECT_TRUE(registry().keyExists(HKEY_CURRENT_USER, "Software\\Acme\\Syncer\\Preferences"));
    registry().find(HKEY_LOCAL_MACHINE, "Software\\Acme\\Syncer")->subkeys.clear();
    EXPECT_EQ(installLocation(), kDefaultInstallFolder);
}

TEST_F(ProductStore, OverlongOrMissingKeyNamesAreRefusedWhole) {
    RADOzavu_SetRegistryInfo("Acme", std::string(260, 'p').c_str());
    RADOzavu_SetRegistryInfo(nullptr, "Other");
    EXPECT_STREQ(CompanyKeyName(), "Brevanta");
    EXPECT_STREQ(ProductKeyName(), "Quillane");
    const std::string longest(259, 'p');
    RADOzavu_SetRegistryInfo("", longest.c_str());
    EXPECT_STREQ(CompanyKeyName(), "");
    EXPECT_EQ(ProductKeyName(), longest);
    // The key path no longer fits: the store falls back to its default folder.
    EXPECT_EQ(installLocation(), kDefaultInstallFolder);
    reloadLibrary();
    EXPECT_STREQ(CompanyKeyName(), "Brevanta");
}

TEST_F(ProductStore, ReadRegistryStringReadsAnyKeyAndLeavesTheBufferOnAMiss) {
    registry().setString(HKEY_LOCAL_MACHINE, "Software\\Other", "Value", "text");
    char buffer[16] = "untouched";
    EXPECT_EQ(
        ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Other", "Missing", buffer, sizeof buffer),
        0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(
        ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Other", "Value", buffer, sizeof buffer),
        1);
    EXPECT_STREQ(buffer, "text");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Other", "Value", buffer, 3), 0);
}

} // namespace
