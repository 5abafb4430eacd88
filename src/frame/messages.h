// The library's messages to the user: its string table, the installer
// message box and the system error box.
#pragma once

#include <string>

#include "platform/types.h"
#include "radozavu.h"

namespace frame {

// Message numbers of the library's string table.
enum MessageId : UINT {
    kMsgInstallationTitle = 408,
    kMsgSystemNotSupported = 409,
    kMsgApplicationRunning = 411,
    kMsgSelectLocalFolder = 433,
    kMsgNoDriveRoot = 434,
    kMsgUpgradeServicePack = 453,
};

// The text of a message of the library's string table (empty when there is
// none); numbers strictly between 2000 and 4000 carry the tag " [MSG-n]".
std::string MessageText(UINT id);

// Shows message id in a box owned by the installer's window, titled with
// message 408, with an OK button and no icon; returns once it is closed.
// A box that cannot have that owner is shown without one. The result is the
// box's answer (IDOK), or not above 0 when no box could be shown at all:
// Windows documents 0, Wine's dialog code gives -1.
int InstallerMessageBox(const SetupCallRecord &record, UINT id);

// Shows the system's text for an error code, after an optional leading text,
// with the code in parentheses, in a box titled "Brevanta". Always 1.
int SystemErrorBox(DWORD code, const char *leadingText = nullptr);

} // namespace frame
