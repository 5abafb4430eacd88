// Whoever reports what a call changed on the machine is told of each
// registry key and file the machine is about to change, before it changes:
// every write of the library passes through the machine, so the report can
// look at what a call touched instead of comparing the whole machine before
// and after it.
#pragma once

#include <string>

namespace emu {

struct RegKey;

class ChangeObserver {
public:
    ChangeObserver() = default;
    ChangeObserver(const ChangeObserver &) = delete;
    ChangeObserver &operator=(const ChangeObserver &) = delete;
    virtual ~ChangeObserver() = default;

    // A key's values are about to change, or the key is about to be deleted.
    virtual void keyChanging(const RegKey &key) = 0;
    // A key was just made below its holder (it was not there before).
    virtual void keyCreated(const RegKey &key) = 0;
    // The file or folder at this host path is about to be written, made,
    // replaced, renamed or removed.
    virtual void fileChanging(const std::string &hostPath) = 0;
};

// Sets who is told (nullptr: nobody, the default); the observer outlives
// the setting.
void observeChanges(ChangeObserver *observer);

// What the machine's registry and files call before a change.
void noteKeyChanging(const RegKey &key);
void noteKeyCreated(const RegKey &key);
void noteFileChanging(const std::string &hostPath);

} // namespace emu
