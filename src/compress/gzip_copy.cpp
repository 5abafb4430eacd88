// Copies of a file into and out of the gzip format for the installer script.
// The plain file is read or written with the C runtime's buffered files, the
// gzip file with zlib, 1,024 bytes at a time. Every failure gives 0 and
// leaves what was written so far on disk.
#include <zlib.h>

#include <cstdio>

#include "platform/buffered_files.h"
#include "base/handles.h"
#include "radozavu.h"

namespace {

constexpr unsigned kChunkSize = 1024;

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
    handles::UniqueGzipFile packed(win::gzopen(destination, "wb"));
    if (!packed) {
        return nullptr;
    }
    if (isCompressionLevel(level)) {
        gzsetparams(packed.get(), level, Z_DEFAULT_STRATEGY);
    }
    char chunk[kChunkSize];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, kChunkSize, plain.get())) > 0) {
        if (gzwrite(packed.get(), chunk, static_cast<unsigned>(count)) != static_cast<int>(count)) {
            return nullptr;
        }
    }
    // A read that ended on an error is no end of the source; and the gzip
    // file is whole only once its close has written the last block.
    const bool sourceReadToEnd = std::ferror(plain.get()) == 0;
    const bool packedComplete = packed.reset();
    const bool sourceClosed = plain.reset();
    return sourceReadToEnd && packedComplete && sourceClosed ? destination : nullptr;
}

extern "C" RADOZAVU_API(const char *) QLNSetupUncompressFile(const char *source,
                                                             const char *destination) {
    if (destination == nullptr) {
        return nullptr;
    }
    handles::UniqueBufferedFile plain(win::fopen(destination, "wb"));
    if (!plain) {
        return nullptr;
    }
    // When the source cannot be opened, the destination stays behind, empty.
    handles::UniqueGzipFile packed(win::gzopen(source, "rb"));
    if (!packed) {
        return nullptr;
    }
    char chunk[kChunkSize];
    int count = 0;
    while ((count = gzread(packed.get(), chunk, kChunkSize)) > 0) {
        if (std::fwrite(chunk, static_cast<std::size_t>(count), 1, plain.get()) != 1) {
            return nullptr;
        }
    }
    const bool sourceWhole = count == 0 && !gzipReadFailed(packed.get());
    packed.reset();
    const bool destinationClosed = plain.reset();
    return sourceWhole && destinationClosed ? destination : nullptr;
}
