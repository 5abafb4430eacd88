// The emulated registry's access rules that tests set on a key. The rest of
// the registry's behaviour is proven on both platforms by the conformance
// suite (conformance/registry_test.cpp).
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

// Linux only: a key that refuses writes is set through the machine's control
// interface (denyWrite).
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

} // namespace
