#include "frame/busy_cursor.h"

#include "platform/user.h"

namespace frame {
namespace {
int depth = 0;
HCURSOR previous = nullptr;
} // namespace

BusyCursor::BusyCursor() {
    if (depth++ == 0) {
        previous = win::SetCursor(win::LoadCursorA(nullptr, IDC_WAIT));
    }
}

BusyCursor::~BusyCursor() {
    if (--depth == 0) {
        win::SetCursor(previous);
    }
}

} // namespace frame
