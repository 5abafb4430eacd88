// A machine folder's registry read a key at a time. state/registry.reg is the
// registry as the last full save wrote it, sorted (exportRegistry), and
// state/registry.idx its index: where each key's lines lie in it and which
// keys lie below it. A command reads a key's values and the names of its
// subkeys only when a call reaches the key, so loading a machine costs the
// same whatever the size of its registry. The index names the file it was
// made for (size, modification time, inode); a registry.reg edited by hand,
// or one of a folder of an earlier version, has no index of its own and is
// read whole, as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/persistence/registry_export.h"
#include "emulator/registry/registry_store.h"

namespace emu {

// The index of a registry file as written, for the file as it now lies at
// registryPath (its size, time and inode are recorded). Throws MachineError
// when the file cannot be looked at.
std::string indexRegistry(const std::vector<KeyLine> &lines, const std::string &registryPath);

class RegistryBase final : public KeySource, public std::enable_shared_from_this<RegistryBase> {
public:
    // An index entry: a key's lines in the file, its first subkey's entry
    // and its next sibling's (kNone: none).
    struct Entry {
        std::uint64_t begin; // the key's line
        std::uint64_t end;   // the next key's line, or the file's end
        std::uint32_t firstChild;
        std::uint32_t nextSibling;
    };

    // The registry file of a state folder with its index; nullptr when the
    // index is missing, damaged or was made for another file.
    static std::shared_ptr<const RegistryBase> open(const std::string &stateFolder);
    RegistryBase(const RegistryBase &) = delete;
    RegistryBase &operator=(const RegistryBase &) = delete;
    ~RegistryBase() override;

    // The registry file's size in bytes.
    [[nodiscard]] std::size_t size() const { return registry_.size; }

    void read(RegKey &key, std::uint32_t entry) const override;

private:
    struct Mapped {
        const char *data = nullptr;
        std::size_t size = 0;
    };
    RegistryBase(Mapped registry, Mapped index) : registry_(registry), index_(index) {}
    [[nodiscard]] const Entry &entry(std::uint32_t number) const;
    [[nodiscard]] std::string text(const Entry &entry, bool keyLineOnly) const;

    Mapped registry_;
    Mapped index_;
};

// Gives the registry's roots the base as their source: every key is then
// read from it when first reached.
void attachBase(Registry &registry, const std::shared_ptr<const RegistryBase> &base);

} // namespace emu
