// The change report's view of the real computer: a snapshot of the registry
// keys and folders the library can touch (and those the script names), of
// the processes, top-level windows and services, and of the libraries loaded
// into this process. The whole computer is too big to compare call by call.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/handles.h"
#include "changes.h"

namespace host {

class RealSnapshots {
public:
    RealSnapshots();

    // Watches these too: paths (C:\...) and registry keys (HKLM\...), each
    // with what lies below it. A drive's root is never watched whole.
    void watch(const std::vector<std::string> &places);

    // The computer now. The first snapshot of a call keeps a handle of every
    // process, so the second can tell how those that ended have ended. A
    // program whose window closed during the call is given time to end (at
    // most kPatienceMs) before the second: it ends a moment after its last
    // window, maybe after the call has returned.
    Snapshot before();
    Snapshot after();
    // The libraries this process loaded since before(), the system's own
    // left out.
    [[nodiscard]] std::vector<std::string> librariesLoaded() const;

private:
    Snapshot take();

    struct KeyWatch {
        HKEY root;
        std::string path;
        std::string value; // one value only; empty: the key, its values and subkeys
    };
    std::vector<KeyWatch> keys_;
    // A 32-bit host on 64-bit Windows: both registry views are read, and
    // keys and files are named where they really lie.
    bool wow64_;
    std::set<std::string> paths_;
    std::map<DWORD, handles::UniqueHandle> processes_; // the processes of before()
    std::map<DWORD, std::string> images_;              // and their images
    std::map<HWND, DWORD> windowOwners_;               // the windows of before(): process ids
    std::set<std::string> modulesBefore_;
};

} // namespace host
