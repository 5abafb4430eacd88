// The library as a shared object, loaded with dlopen the way the command-line
// host loads it: its load step runs inside the loader, alongside the
// construction of the library's static objects.
#include <dlfcn.h>

#include "support/machine_test.h"

namespace {

using GetExecuteOnCompletion = const char *(*)(const char *);

class SharedObject : public MachineTest {};

TEST_F(SharedObject, TheLoadStepReadsTheDisplayNameUnderTheInitialKeyNames) {
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", "Quillane Pro");
    writeFile("C:\\Setup\\QLNSETUP.INI", "[Configuration]\r\nShowErrorMessages=YES\r\n"
                                         "ExecuteOnCompletion=C:\\missing.exe\r\n");
    void *library = dlopen(RADOZAVU_SHARED_OBJECT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto getter =
        reinterpret_cast<GetExecuteOnCompletion>(dlsym(library, "GetExecuteOnCompletion"));
    ASSERT_NE(getter, nullptr);
    EXPECT_STREQ(getter("C:\\Setup\\"), "Error Reading Value");
    ASSERT_EQ(machine().processes.user.messageBoxes.size(), 1u);
    // The box's title is the display name worked out at load.
    EXPECT_EQ(machine().processes.user.messageBoxes[0].caption, "Quillane Pro");
    dlclose(library);
}

} // namespace
