#include "emulated/touched_places.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "emulator/machine.h"
#include "registry_path.h"

namespace fs = std::filesystem;

namespace host {
namespace {

// Where a key lies: its root, its path below it as stored, and its path as
// the report names it ("HKLM\Software\..."). Nothing for a root (the report
// tells of the keys below the roots) or a key no longer in the registry.
struct KeyPlace {
    HKEY root = nullptr;
    std::string stored;
    std::string reported;
};

std::optional<KeyPlace> placeOf(const emu::RegKey &key) {
    std::vector<const std::string *> names;
    const emu::RegKey *top = &key;
    for (; top->holder != nullptr; top = top->holder) {
        names.push_back(&top->name);
    }
    if (names.empty()) {
        return std::nullopt;
    }
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        if (emu::machine().registry.root(root).get() == top) {
            KeyPlace place{root, {}, rootName(root)};
            for (auto name = names.rbegin(); name != names.rend(); ++name) {
                place.stored += (place.stored.empty() ? "" : "\\") + **name;
                place.reported += "\\" + **name;
            }
            return place;
        }
    }
    return std::nullopt;
}

void addKey(const emu::RegKey &key, const std::string &reported, Snapshot &snapshot) {
    auto values = std::make_shared<KeyValues>();
    for (const auto &[name, value] : key.values) {
        (*values)[value.name] =
            describeValue(value.type, std::string(value.data.begin(), value.data.end()));
    }
    snapshot.keys[reported] = true;
    snapshot.values[reported] = std::move(values);
}

// The machine path of a host path on a drive (C:\...); nothing for a path
// on no drive or for a drive's root.
std::optional<std::string> machinePathOf(const fs::path &host) {
    for (const auto &[letter, drive] : emu::machine().files.drives) {
        const fs::path relative = host.lexically_relative(drive.hostFolder);
        const std::string text = relative.string();
        if (relative.empty() || text == "." || text.compare(0, 2, "..") == 0) {
            continue;
        }
        std::string path = std::string(1, letter) + ":\\" + text;
        for (char &c : path) {
            c = c == '/' ? '\\' : c;
        }
        return path;
    }
    return std::nullopt;
}

// A file or folder and, for a folder, everything below it, as the report
// compares them. Only plain files are read: a link or a special file is no
// file of the report.
void addFile(const fs::path &host, Snapshot &snapshot) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(host, error);
    const std::optional<std::string> path = machinePathOf(host);
    if (error || !path) {
        return;
    }
    if (fs::is_regular_file(status)) {
        snapshot.files[*path] = describeFile(hostFileContent(host));
        return;
    }
    if (!fs::is_directory(status)) {
        return;
    }
    snapshot.files[*path] = "folder";
    for (auto it = fs::recursive_directory_iterator(host, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::file_status below = it->symlink_status(error);
        if (fs::is_directory(below)) {
            snapshot.files[*machinePathOf(it->path())] = "folder";
        } else if (fs::is_regular_file(below)) {
            snapshot.files[*machinePathOf(it->path())] =
                describeFile(hostFileContent(it->path().string()));
        }
    }
}

} // namespace

std::string hostFileContent(const std::string &hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TouchedPlaces::TouchedPlaces() { emu::observeChanges(this); }

TouchedPlaces::~TouchedPlaces() { emu::observeChanges(nullptr); }

void TouchedPlaces::keyChanging(const emu::RegKey &key) {
    const std::optional<KeyPlace> place = placeOf(key);
    if (place && keys_.insert({place->root, place->stored}).second) {
        addKey(key, place->reported, before_);
    }
}

void TouchedPlaces::keyCreated(const emu::RegKey &key) {
    if (const std::optional<KeyPlace> place = placeOf(key); place) {
        keys_.insert({place->root, place->stored}); // it was not there before
    }
}

void TouchedPlaces::fileChanging(const std::string &hostPath) {
    if (files_.insert(hostPath).second) {
        addFile(hostPath, before_);
    }
}

void TouchedPlaces::addTo(Snapshot &before, Snapshot &after) const {
    before.keys.insert(before_.keys.begin(), before_.keys.end());
    before.values.insert(before_.values.begin(), before_.values.end());
    before.files.insert(before_.files.begin(), before_.files.end());
    for (const auto &[root, stored] : keys_) {
        if (const auto key = emu::machine().registry.find(root, stored); key) {
            addKey(*key, placeOf(*key)->reported, after);
        }
    }
    for (const std::string &file : files_) {
        addFile(file, after);
    }
}

} // namespace host
