#include "emulator/persistence/registry_base.h"
#include "emulator/text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "emulator/persistence/machine_error.h"
#include "emulator/registry/reg_file.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

constexpr char kMagic[8] = {'R', 'Z', 'R', 'E', 'G', 'I', 'X', '1'};
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr int kRoots = 3; // entries 0 to 2: the roots, whether or not they have a line

// The index: this header, then one entry per key in the file's order.
struct Header {
    char magic[8];
    std::uint64_t size; // of the registry file it indexes
    std::int64_t modifiedSeconds;
    std::int64_t modifiedNanoseconds;
    std::uint64_t inode;
    std::uint64_t entries;
};

struct Identity {
    std::uint64_t size, inode;
    std::int64_t seconds, nanoseconds;
};

bool identify(const std::string &path, Identity &identity) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    identity = {static_cast<std::uint64_t>(status.st_size), status.st_ino, status.st_mtim.tv_sec,
                status.st_mtim.tv_nsec};
    return true;
}

// A whole file mapped for reading; nothing for an empty or unreadable one.
bool mapFile(const std::string &path, const char *&data, std::size_t &size) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    struct stat status {};
    void *mapped = MAP_FAILED;
    if (::fstat(descriptor, &status) == 0 && status.st_size > 0) {
        mapped = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE,
                        descriptor, 0);
    }
    ::close(descriptor);
    if (mapped == MAP_FAILED) {
        return false;
    }
    data = static_cast<const char *>(mapped);
    size = static_cast<std::size_t>(status.st_size);
    return true;
}

} // namespace

std::string indexRegistry(const std::vector<KeyLine> &lines, const std::string &registryPath) {
    Identity identity{};
    if (!identify(registryPath, identity)) {
        throw MachineError("cannot look at " + registryPath + ": " + std::strerror(errno));
    }
    std::vector<RegistryBase::Entry> entries(kRoots, {0, 0, kNone, kNone});
    std::vector<std::uint32_t> lastChild(kRoots, kNone);
    std::vector<std::uint32_t> holders; // by depth, of the key line before
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const KeyLine &line = lines[i];
        const std::uint64_t end = i + 1 < lines.size() ? lines[i + 1].offset : identity.size;
        if (line.depth == 0) {
            entries[line.root] = {line.offset, end, kNone, kNone};
            holders.assign(1, static_cast<std::uint32_t>(line.root));
            continue;
        }
        holders.resize(line.depth);
        if (line.depth == 1) {
            holders[0] = static_cast<std::uint32_t>(line.root);
        }
        const auto number = static_cast<std::uint32_t>(entries.size());
        const std::uint32_t holder = holders[line.depth - 1];
        if (lastChild[holder] == kNone) {
            entries[holder].firstChild = number;
        } else {
            entries[lastChild[holder]].nextSibling = number;
        }
        lastChild[holder] = number;
        entries.push_back({line.offset, end, kNone, kNone});
        lastChild.push_back(kNone);
        holders.push_back(number);
    }
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.size = identity.size;
    header.modifiedSeconds = identity.seconds;
    header.modifiedNanoseconds = identity.nanoseconds;
    header.inode = identity.inode;
    header.entries = entries.size();
    std::string index(reinterpret_cast<const char *>(&header), sizeof header);
    index.append(reinterpret_cast<const char *>(entries.data()),
                 entries.size() * sizeof(RegistryBase::Entry));
    return index;
}

std::shared_ptr<const RegistryBase> RegistryBase::open(const std::string &stateFolder) {
    const std::string registryPath = (fs::path(stateFolder) / "registry.reg").string();
    Mapped index;
    Identity identity{};
    if (!identify(registryPath, identity) ||
        !mapFile((fs::path(stateFolder) / "registry.idx").string(), index.data, index.size)) {
        return nullptr;
    }
    Mapped registry;
    Header header{};
    if (index.size >= sizeof header) {
        std::memcpy(&header, index.data, sizeof header);
    }
    const bool matches =
        index.size >= sizeof header && std::memcmp(header.magic, kMagic, sizeof kMagic) == 0 &&
        header.entries >= kRoots && index.size == sizeof header + header.entries * sizeof(Entry) &&
        header.size == identity.size && header.inode == identity.inode &&
        header.modifiedSeconds == identity.seconds &&
        header.modifiedNanoseconds == identity.nanoseconds &&
        mapFile(registryPath, registry.data, registry.size) && registry.size == identity.size;
    if (!matches) {
        ::munmap(const_cast<char *>(index.data), index.size);
        return nullptr;
    }
    return std::shared_ptr<const RegistryBase>(new RegistryBase(registry, index));
}

RegistryBase::~RegistryBase() {
    ::munmap(const_cast<char *>(registry_.data), registry_.size);
    ::munmap(const_cast<char *>(index_.data), index_.size);
}

const RegistryBase::Entry &RegistryBase::entry(std::uint32_t number) const {
    const auto *entries = reinterpret_cast<const Entry *>(index_.data + sizeof(Header));
    const std::size_t count = (index_.size - sizeof(Header)) / sizeof(Entry);
    if (number >= count || entries[number].begin > entries[number].end ||
        entries[number].end > registry_.size) {
        throw MachineError("registry.idx is damaged: an entry lies outside registry.reg");
    }
    return entries[number];
}

// A key's lines (or its key line alone) as a registry file of their own.
std::string RegistryBase::text(const Entry &entry, bool keyLineOnly) const {
    std::string_view lines(registry_.data + entry.begin, entry.end - entry.begin);
    if (keyLineOnly) {
        lines = lines.substr(0, lines.find('\n') + 1);
    }
    return "REGEDIT4\r\n\r\n" + std::string(lines);
}

void RegistryBase::read(RegKey &key, std::uint32_t number) const {
    const Entry &own = entry(number);
    if (own.end > own.begin) {
        const RegFileParse parsed = parseRegFile(text(own, false), RegFileSource::MachineStateKey);
        if (!parsed.valid) {
            throw MachineError("registry.reg is damaged at byte " + std::to_string(own.begin) +
                               ": " + parsed.problem);
        }
        for (const RegFileOperation &operation : parsed.operations) {
            if (operation.kind == RegFileOperation::SetValue) {
                key.values.unread()[operation.valueName] =
                    RegValue{operation.valueName, operation.type, operation.data};
            }
        }
    }
    const std::shared_ptr<const RegistryBase> self = shared_from_this();
    for (std::uint32_t child = own.firstChild; child != kNone; child = entry(child).nextSibling) {
        const RegFileParse parsed =
            parseRegFile(text(entry(child), true), RegFileSource::MachineStateKey);
        if (!parsed.valid || parsed.operations.empty()) {
            throw MachineError("registry.reg is damaged at byte " +
                               std::to_string(entry(child).begin) + ": " + parsed.problem);
        }
        const std::vector<std::string> parts = splitKeyPath(parsed.operations[0].keyPath);
        auto stub = std::make_shared<RegKey>();
        stub->name = parts.empty() ? std::string() : parts.back();
        stub->level = key.level + 1;
        stub->holder = &key;
        stub->source = self;
        stub->sourceEntry = child;
        key.subkeys.unread()[stub->name] = std::move(stub);
    }
}

void attachBase(Registry &registry, const std::shared_ptr<const RegistryBase> &base) {
    const HKEY roots[kRoots] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
    for (int i = 0; i < kRoots; ++i) {
        const std::shared_ptr<RegKey> root = registry.root(roots[i]);
        root->source = base;
        root->sourceEntry = static_cast<std::uint32_t>(i);
    }
}

} // namespace emu
