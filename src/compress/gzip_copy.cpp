// Copies of a file into and out of the gzip format for the installer script.
// The plain file is read or written with the C runtime's buffered files, the
// gzip file with zlib, 128 KiB at a time. Every failure gives 0.
//
// A copy onto its own source is refused before anything is opened for
// writing: it would truncate the very file it is about to read. A copy over
// a file that exists is written beside it and replaces it only once whole,
// so a failed copy leaves the old file as it was; a copy to a new name
// leaves what was written so far on disk. A new name is created new, so
// that a link left at it (one that leads nowhere yet) is never written
// through, and the file made is written through the handle that made it.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/buffered_files.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "base/handles.h"
#include "base/links.h"
#include "platform/system.h"
#include "radozavu.h"

namespace {

// The pieces a copy moves at a time, and zlib's own buffer for the gzip
// file. Pieces this large pass the C runtime's buffer by (it reads and writes
// them in one system call each) and reach zlib whole: a write of at least the
// buffer's size is compressed straight from the piece, and a read of at least
// twice its size is expanded straight into it. Small pieces cost a copy
// through each buffer and a system call for every 4 KiB of the plain file,
// which under Wine cost a quarter to half of an expansion's processor time.
constexpr unsigned kGzipBufferSize = 64 * 1024;
constexpr unsigned kChunkSize = 2 * kGzipBufferSize;

// zlib takes -1 (its default level) and 0 (stored, not compressed) to 9.
// gzsetparams accepts any other number too, and the first write then fails,
// so another number leaves the default level in force instead.
bool isCompressionLevel(int level) {
    return level >= Z_DEFAULT_COMPRESSION && level <= Z_BEST_COMPRESSION;
}

// zlib ends a damaged or cut-off gzip stream like a whole one (a read of 0
// bytes); only its error state tells them apart.
bool gzipReadFailed(gzFile file) {
    int error = Z_OK;
    gzerror(file, &error);
    return error != Z_OK;
}

// What makes a file itself, whatever name it is reached by (letter case,
// short names, "\\?\" paths, links): its volume and its index there.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity &) const = default;
};

// What a path names, as far as a copy is concerned.
struct PathLook {
    enum Kind {
        Absent,   // nothing: a copy creates it
        NotAFile, // a device, which has no contents to lose
        File,     // a file on a disk, with its identity
        Unknown,  // it could not be looked at (a folder, a refused or failed look)
    } kind = Unknown;
    FileIdentity identity;
};

PathLook look(const char *path) {
    if (path == nullptr) {
        return {};
    }
    // No access is asked for, so the look succeeds whoever else has the file open.
    handles::UniqueFileHandle file(
        win::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = win::GetLastError();
        const bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {absent ? PathLook::Absent : PathLook::Unknown, {}};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!win::GetFileInformationByHandle(file.get(), &information)) {
        // Devices answer that they do not know the request.
        return {win::GetLastError() == ERROR_INVALID_FUNCTION ? PathLook::NotAFile
                                                              : PathLook::Unknown,
                {}};
    }
    return {
        PathLook::File,
        {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow}};
}

// How a copy from source may write its destination: as a new file, directly
// (a device), beside an existing file (to replace it once whole), or not at
// all: when both name one file, or when that cannot be ruled out.
enum class Placement { New, Direct, Beside, Refused };

Placement placementOf(const char *source, const char *destination) {
    const PathLook target = look(destination);
    switch (target.kind) {
    case PathLook::Absent:
        return Placement::New;
    case PathLook::NotAFile:
        return Placement::Direct;
    case PathLook::Unknown:
        return Placement::Refused;
    case PathLook::File:
        break;
    }
    const PathLook origin = look(source);
    if (origin.kind == PathLook::Unknown ||
        (origin.kind == PathLook::File && origin.identity == target.identity)) {
        return Placement::Refused;
    }
    return Placement::Beside;
}

// Opens a stream for writing on the handle that made the file (or opened
// the device), so that the name is never opened a second time: a name swapped
// for a link or junction once the file is made does not lead the copy
// elsewhere. The stream owns the handle from then on; nullptr when none
// could be opened, and the handle is closed.
template <class Stream> Stream writeStreamOn(handles::UniqueFileHandle file,
                                             Stream (*openOnDescriptor)(int, const char *)) {
    if (!file) {
        return nullptr;
    }
    const int descriptor =
        win::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_BINARY);
    if (descriptor == -1) {
        return nullptr;
    }
    static_cast<void>(file.release()); // the descriptor owns the handle now
    Stream stream = openOnDescriptor(descriptor, "wb");
    if (stream == nullptr) {
        win::_close(descriptor); // the copy fails whether or not the close does
    }
    return stream;
}

// Where a copy writes: the destination itself when no file is there yet (or
// it is a device), else a new file beside it that replaces it once complete.
// A file written beside and never committed is removed.
class CopyTarget {
public:
    explicit CopyTarget(const char *destination) : destination_(destination) {}
    CopyTarget(const CopyTarget &) = delete;
    CopyTarget &operator=(const CopyTarget &) = delete;
    ~CopyTarget() {
        if (!beside_.empty()) {
            win::DeleteFileA(beside_.c_str());
        }
    }

    // The file to write, open for writing; none when the copy is refused or
    // no file could be made beside an existing destination (which stays
    // untouched).
    handles::UniqueFileHandle open(Placement placement) {
        switch (placement) {
        case Placement::Refused:
            return {};
        case Placement::Direct:
            // A device, shared as the C runtime shares the files it writes.
            return handles::UniqueFileHandle(win::CreateFileA(destination_, GENERIC_WRITE,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                              nullptr, OPEN_EXISTING, 0, nullptr));
        case Placement::New:
            return links::OpenWithoutFollowing(destination_, GENERIC_WRITE, 0, CREATE_NEW);
        case Placement::Beside:
            break;
        }
        for (char digit = '1'; digit <= '9'; ++digit) {
            const std::string candidate = std::string(destination_) + ".~" + digit;
            // Made new, so that no file of that name is ever written over.
            handles::UniqueFileHandle file(win::CreateFileA(candidate.c_str(), GENERIC_WRITE, 0,
                                                            nullptr, CREATE_NEW, 0, nullptr));
            if (file) {
                beside_ = candidate;
                return file;
            }
        }
        return {};
    }

    // Puts the whole copy in the destination's place; false when it cannot
    // replace it.
    bool commit() {
        if (beside_.empty()) {
            return true;
        }
        if (!win::MoveFileExA(beside_.c_str(), destination_, MOVEFILE_REPLACE_EXISTING)) {
            return false;
        }
        beside_.clear();
        return true;
    }

private:
    const char *destination_;
    std::string beside_;
};

} // namespace

extern "C" RADOZAVU_API(const char *) QLNSetupCompressFile(const char *source,
                                                           const char *destination, int level) {
    if (source == nullptr) {
        return nullptr;
    }
    handles::UniqueBufferedFile plain(win::fopen(source, "rb"));
    if (!plain) {
        return nullptr;
    }
    CopyTarget target(destination);
    handles::UniqueGzipFile packed(
        writeStreamOn(target.open(placementOf(source, destination)), win::gzdopen));
    if (!packed) {
        return nullptr;
    }
    gzbuffer(packed.get(), kGzipBufferSize);
    if (isCompressionLevel(level)) {
        gzsetparams(packed.get(), level, Z_DEFAULT_STRATEGY);
    }
    std::vector<char> chunk(kChunkSize);
    std::size_t count = 0;
    while ((count = std::fread(chunk.data(), 1, kChunkSize, plain.get())) > 0) {
        if (gzwrite(packed.get(), chunk.data(), static_cast<unsigned>(count)) !=
            static_cast<int>(count)) {
            return nullptr;
        }
    }
    // A read that ended on an error is no end of the source; and the gzip
    // file is whole only once its close has written the last block.
    const bool sourceReadToEnd = std::ferror(plain.get()) == 0;
    const bool packedComplete = packed.reset();
    const bool sourceClosed = plain.reset();
    return sourceReadToEnd && packedComplete && sourceClosed && target.commit() ? destination
                                                                                : nullptr;
}

extern "C" RADOZAVU_API(const char *) QLNSetupUncompressFile(const char *source,
                                                             const char *destination) {
    if (destination == nullptr) {
        return nullptr;
    }
    CopyTarget target(destination);
    handles::UniqueBufferedFile plain(
        writeStreamOn(target.open(placementOf(source, destination)), win::_fdopen));
    if (!plain) {
        return nullptr;
    }
    // When the source cannot be opened, a new destination stays behind, empty.
    handles::UniqueGzipFile packed(win::gzopen(source, "rb"));
    if (!packed) {
        return nullptr;
    }
    gzbuffer(packed.get(), kGzipBufferSize);
    std::vector<char> chunk(kChunkSize);
    int count = 0;
    while ((count = gzread(packed.get(), chunk.data(), kChunkSize)) > 0) {
        if (std::fwrite(chunk.data(), static_cast<std::size_t>(count), 1, plain.get()) != 1) {
            return nullptr;
        }
    }
    const bool sourceWhole = count == 0 && !gzipReadFailed(packed.get());
    packed.reset();
    const bool destinationClosed = plain.reset();
    return sourceWhole && destinationClosed && target.commit() ? destination : nullptr;
}
