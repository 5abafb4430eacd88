// String resources on the emulated machine: each module's strings are its
// own, found by the handle the machine gave the module for its table.
// Linux-only: the tables are given with RegisterStringTable, which exists on
// the emulated machine alone (conformance/resources_test.cpp: both platforms).
#include <cstring>
#include <string>

#include "platform/resources.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

using EmulatedStrings = MachineTest;

TEST_F(EmulatedStrings, AModuleFindsItsOwnStringsOnly) {
    static const win::StringResource setupStrings[] = {{408, "Setup"}, {433, "Pick a folder"}};
    static const win::StringResource otherStrings[] = {{409, "Other"}};
    const HINSTANCE setup = win::RegisterStringTable(setupStrings, 2);
    const HINSTANCE other = win::RegisterStringTable(otherStrings, 1);
    EXPECT_EQ(win::RegisterStringTable(setupStrings, 2), setup); // the module loaded again
    struct Case {
        HINSTANCE module;
        UINT id;
        int size;
        int length;         // returned
        const char *buffer; // afterwards
        DWORD error;        // the last error when nothing was found
    };
    const Case cases[] = {
        {setup, 408, 64, 5, "Setup", 0},
        {setup, 433, 5, 4, "Pick", 0}, // cut to the room there is
        {other, 409, 64, 5, "Other", 0},
        // Another module's string: ERROR_RESOURCE_NAME_NOT_FOUND.
        {setup, 409, 64, 0, "", 1814},
        {other, 408, 64, 0, "", 1814},
        // The program, and a handle of no module: ERROR_RESOURCE_TYPE_NOT_FOUND.
        {nullptr, 408, 64, 0, "", 1813},
        {reinterpret_cast<HINSTANCE>(0x1000), 408, 64, 0, "", 1813},
        {setup, 408, 0, 0, "#", 0}, // no room: the buffer stays as it was
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.module << " " << c.id << " " << c.size);
        char buffer[64];
        std::strcpy(buffer, "#");
        win::SetLastError(0);
        EXPECT_EQ(win::LoadStringA(c.module, c.id, buffer, c.size), c.length);
        EXPECT_STREQ(buffer, c.buffer);
        EXPECT_EQ(win::GetLastError(), c.error);
    }
}

} // namespace
