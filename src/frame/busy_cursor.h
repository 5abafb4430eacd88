// The wait cursor shown while an export works. Requests nest: the cursor
// that was shown before comes back only when the outermost request ends.
#pragma once

namespace frame {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace frame
