// The emulated registry follows the Windows rules the library relies on.
#include <cstring>

#include "base/handles.h"
#include "platform/registry.h"
#include "support/machine_test.h"

namespace {

class EmulatedRegistry : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        registry().setString(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name", "value");
    }
};

TEST_F(EmulatedRegistry, QueriesReportSizesAndMoreData) {
    handles::UniqueKey key;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    DWORD size = 0;
    DWORD type = 0;
    EXPECT_EQ(win::RegQueryValueExA(key.get(), "NAME", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    char small[3] = {'#', '#', '#'};
    size = sizeof small;
    EXPECT_EQ(win::RegQueryValueExA(key.get(), "Name", nullptr, nullptr,
                                    reinterpret_cast<BYTE *>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(win::RegQueryValueExA(key.get(), "Missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(EmulatedRegistry, HandlesCarryTheirAccessRights) {
    handles::UniqueKey readOnly;
    ASSERT_EQ(
        win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ, readOnly.put()),
        ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(readOnly.get(), "New", 0, REG_SZ, data, sizeof data),
              ERROR_ACCESS_DENIED);
    handles::UniqueKey child;
    EXPECT_EQ(win::RegCreateKeyExA(readOnly.get(), "Child", 0, nullptr, 0, KEY_READ, nullptr,
                                   child.put(), nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::RegCloseKey(reinterpret_cast<HKEY>(0x4242)), ERROR_INVALID_HANDLE);
}

TEST_F(EmulatedRegistry, ADeniedKeyRefusesWritesAndNewSubkeysButAllowsReading) {
    registry().find(HKEY_LOCAL_MACHINE, "Software\\Vendor")->denyWrite = true;
    handles::UniqueKey key;
    EXPECT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ | KEY_WRITE,
                                 key.put()),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\New", 0, nullptr, 0,
                                   KEY_READ, nullptr, key.put(), nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, "Software\\Vendor\\New"));
    EXPECT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    // RegCreateKeyA falls back to the access it can have.
    handles::UniqueKey most;
    EXPECT_EQ(win::RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor", most.put()),
              ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(most.get(), "New", 0, REG_SZ, data, sizeof data),
              ERROR_ACCESS_DENIED);
}

TEST_F(EmulatedRegistry, KeysWithSubkeysCannotBeDeletedAndDeletedKeysRefuseHandles) {
    registry().create(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Child");
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor"), ERROR_ACCESS_DENIED);
    handles::UniqueKey child;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Child", 0, KEY_ALL_ACCESS,
                                 child.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\CHILD"), ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(win::RegSetValueExA(child.get(), "V", 0, REG_SZ, data, sizeof data),
              ERROR_KEY_DELETED);
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Child"),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(EmulatedRegistry, CreationReportsWhetherTheKeyIsNew) {
    handles::UniqueKey key;
    DWORD disposition = 0;
    ASSERT_EQ(win::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\A\\B", 0, nullptr, 0, KEY_WRITE,
                                   nullptr, key.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(win::RegCreateKeyExA(HKEY_CURRENT_USER, "software\\a\\b", 0, nullptr, 0, KEY_WRITE,
                                   nullptr, key.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

TEST_F(EmulatedRegistry, DeleteValueThroughTheShellHelper) {
    EXPECT_EQ(win::SHDeleteValueA(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name"), ERROR_SUCCESS);
    EXPECT_EQ(win::SHDeleteValueA(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::SHDeleteValueA(HKEY_LOCAL_MACHINE, "Software\\Nobody", "Name"),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
