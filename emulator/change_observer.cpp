#include "emulator/change_observer.h"

namespace emu {
namespace {

ChangeObserver *&currentObserver() {
    static ChangeObserver *observer = nullptr;
    return observer;
}

} // namespace

void observeChanges(ChangeObserver *observer) { currentObserver() = observer; }

void noteKeyChanging(const RegKey &key) {
    if (ChangeObserver *observer = currentObserver(); observer != nullptr) {
        observer->keyChanging(key);
    }
}

void noteKeyCreated(const RegKey &key) {
    if (ChangeObserver *observer = currentObserver(); observer != nullptr) {
        observer->keyCreated(key);
    }
}

void noteFileChanging(const std::string &hostPath) {
    if (ChangeObserver *observer = currentObserver(); observer != nullptr) {
        observer->fileChanging(hostPath);
    }
}

} // namespace emu
