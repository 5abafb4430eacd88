// The library frame on the emulated machine: display name, message texts,
// message boxes and the busy cursor.
#include <string>

#include "frame/application.h"
#include "frame/busy_cursor.h"
#include "frame/messages.h"
#include "platform/user.h"
#include "support/machine_test.h"

namespace {

using namespace frame;

class Frame : public MachineTest {};

TEST_F(Frame, DisplayNameIsReadAtLoadAndKeptUntilTheNextLoad) {
    EXPECT_EQ(productDisplayName(), "Quillane");
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", "Quillane Pro");
    EXPECT_EQ(productDisplayName(), "Quillane");
    reloadLibrary();
    EXPECT_EQ(productDisplayName(), "Quillane Pro");
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", "");
    reloadLibrary();
    EXPECT_EQ(productDisplayName(), "");
}

TEST_F(Frame, AnOverlongDisplayNameIsCutAtACharacterBoundary) {
    machine().system.codePage = 932;
    // 258 single bytes, then a double-byte character that would end past 259.
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName",
                         std::string(258, 'q') + "\x82\xA0" + "tail");
    reloadLibrary();
    EXPECT_EQ(productDisplayName(), std::string(258, 'q'));
}

TEST_F(Frame, MessageTextTagsOnlyNumbersStrictlyBetween2000And4000) {
    EXPECT_EQ(MessageText(409), "Quillane cannot be installed on this operating system.");
    EXPECT_EQ(MessageText(411), "Setup has determined that an instance of Quillane application is "
                                "currently running...\nPlease close the application and restart "
                                "installation.");
    EXPECT_EQ(MessageText(2001), " [MSG-2001]");
    EXPECT_EQ(MessageText(3999), " [MSG-3999]");
    EXPECT_EQ(MessageText(2000), "");
    EXPECT_EQ(MessageText(4000), "");
    EXPECT_EQ(MessageText(410), "");
}

TEST_F(Frame, InstallerBoxIsOwnedByTheInstallerAndHasNoIcon) {
    SetupCallRecord record{};
    record.OwnerWindow = reinterpret_cast<HWND>(0x1234);
    InstallerMessageBox(record, kMsgSystemNotSupported);
    ASSERT_EQ(machine().processes.user.messageBoxes.size(), 1u);
    const emu::MessageBoxRecord &box = machine().processes.user.messageBoxes[0];
    EXPECT_EQ(box.owner, record.OwnerWindow);
    EXPECT_EQ(box.caption, "Quillane Installation");
    EXPECT_EQ(box.text, "Quillane cannot be installed on this operating system.");
    EXPECT_EQ(box.style, MB_OK);
}

TEST_F(Frame, SystemErrorBoxShowsTheSystemTextAndTheCode) {
    EXPECT_EQ(SystemErrorBox(5, "Stopping the service failed"), 1);
    EXPECT_EQ(SystemErrorBox(1460), 1);
    EXPECT_EQ(SystemErrorBox(987654), 1);
    EXPECT_EQ(SystemErrorBox(0xFFFFFFFFu), 1);
    const auto &boxes = machine().processes.user.messageBoxes;
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].text, "Stopping the service failed\nAccess is denied.(5)");
    EXPECT_EQ(boxes[1].text, "This operation returned because the timeout period expired.(1460)");
    EXPECT_EQ(boxes[2].text, "(987654)");
    EXPECT_EQ(boxes[3].text, "(-1)");
    for (const auto &box : boxes) {
        EXPECT_EQ(box.caption, "Brevanta");
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.style, MB_OK);
    }
}

TEST_F(Frame, BusyCursorRestoresThePreviousCursorOnlyAtTheOutermostEnd) {
    const HCURSOR arrow = win::LoadCursorA(nullptr, IDC_ARROW);
    const HCURSOR wait = win::LoadCursorA(nullptr, IDC_WAIT);
    win::SetCursor(arrow);
    {
        BusyCursor outer;
        EXPECT_EQ(machine().processes.user.cursor, wait);
        {
            BusyCursor inner;
            EXPECT_EQ(machine().processes.user.cursor, wait);
        }
        EXPECT_EQ(machine().processes.user.cursor, wait);
    }
    EXPECT_EQ(machine().processes.user.cursor, arrow);
}

} // namespace
