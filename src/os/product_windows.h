// The windows of the product's own programs. A window is taken for the
// product's only when the program file of its process bears the name of the
// product's program that shows it: a program of another maker may show a
// window of the same title, and setup must neither close it nor end its
// process.
#pragma once

#include "platform/types.h"

namespace os {

// The product's programs, by the file names they are installed under.
constexpr const char *kClientProgram = "QLNCLIENT.EXE";      // "Synchronization", project manager
constexpr const char *kConsoleProgram = "QLNSRVCON.EXE";     // the server console
constexpr const char *kServerAgentProgram = "QLNSRVAGT.EXE"; // the server agent
constexpr const char *kAgentProgram = "QLNAGENT.EXE";        // "Quillane Agent"

// How long a window may take to handle a close request sent to it.
constexpr UINT kCloseLimitMs = 30000;

// The first top-level window of the title whose process runs the program
// (its file name, without regard to case); null when there is none. On a
// Windows that cannot list its processes (NT 4.0 has no tool help), every
// window of the title is taken, as setup always did.
HWND FindProductWindow(const char *title, const char *program);

// Sends a window WM_CLOSE and waits until it has handled it, at most
// kCloseLimitMs, and not at all when its program no longer answers messages:
// a hung window must not hold setup for good.
void SendCloseWithTimeLimit(HWND window);

} // namespace os
