// The registry keys and files a call touched on the emulated machine, as the
// change report compares them. The machine tells of each key and file before
// it changes it (emulator/change_observer.h); the first time a place is told
// of during the call, its state then is kept, and after the call the same
// places are read again. A call's report thus costs what the call touched,
// however large the registry and the drives are.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "changes.h"
#include "emulator/change_observer.h"
#include "platform/types.h"

namespace host {

class TouchedPlaces final : public emu::ChangeObserver {
public:
    // Listens to the machine from now until destroyed.
    TouchedPlaces();
    ~TouchedPlaces() override;
    TouchedPlaces(const TouchedPlaces &) = delete;
    TouchedPlaces &operator=(const TouchedPlaces &) = delete;

    void keyChanging(const emu::RegKey &key) override;
    void keyCreated(const emu::RegKey &key) override;
    void fileChanging(const std::string &hostPath) override;

    // Adds the touched keys and files as they were before their first change
    // to before, and as they are now to after.
    void addTo(Snapshot &before, Snapshot &after) const;

private:
    Snapshot before_;                             // keys and files only
    std::set<std::pair<HKEY, std::string>> keys_; // root, path below it as stored
    std::set<std::string> files_;                 // host paths
};

// The whole content of a file of the host.
std::string hostFileContent(const std::string &hostPath);

} // namespace host
