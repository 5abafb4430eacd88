// Buffered files of the C runtime and gzip files of zlib on the emulated
// machine: opened by machine path with the refusals Windows gives (a folder,
// a read-only file opened for writing, a path on no drive, a file whose open
// handles do not share the access), then read and
// written as host files. A file the test marks as damaged is opened as a
// stream whose reads fail from a given offset on.
//
// A file handle of CreateFileA becomes a descriptor as on Windows: the
// descriptor is a duplicate of the host file the handle opened, and it owns
// the handle (and so the handle's share mode) until a stream opened on it,
// or _close, closes it. Whatever the file's name leads to by then, the
// stream reads and writes the file the handle opened.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "emulator/change_observer.h"
#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/kernel/kernel_objects.h"
#include "platform/buffered_files.h"

namespace emu {
namespace {

struct StreamFile : KernelObject {};

bool opensForWriting(const char *mode) { return std::strpbrk(mode, "wa+") != nullptr; }

// The host path of a file that may be opened in mode; sets errno and gives
// false where Windows' C runtime refuses the open.
bool hostFileToOpen(const char *path, const char *mode, std::string &host) {
    ResolvedPath resolved;
    if (path == nullptr || mode == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (!resolvePath(path, resolved)) {
        errno = ENOENT;
        return false;
    }
    const DWORD attributes = attributesOf(resolved.host);
    if (resolved.parts.empty() ||
        (attributes != INVALID_FILE_ATTRIBUTES &&
         ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
          (opensForWriting(mode) && (attributes & FILE_ATTRIBUTE_READONLY) != 0)))) {
        errno = EACCES;
        return false;
    }
    // The runtime opens its files sharing reading and writing with others.
    const DWORD access = std::strchr(mode, '+') != nullptr ? GENERIC_READ | GENERIC_WRITE
                         : opensForWriting(mode)           ? GENERIC_WRITE
                                                           : GENERIC_READ;
    if (!sharingAllows(resolved.host, access, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        errno = EACCES;
        return false;
    }
    if (opensForWriting(mode)) {
        noteFileChanging(resolved.host);
    }
    host = resolved.host;
    return true;
}

void track(const void *stream) {
    files().openStreams[stream] = kernel().handles.add(std::make_shared<StreamFile>());
}

void untrack(const void *stream) {
    auto it = files().openStreams.find(stream);
    if (it != files().openStreams.end()) {
        kernel().handles.close(it->second);
        files().openStreams.erase(it);
    }
}

// The descriptors _open_osfhandle gave and the handle each owns. The handle's
// object tells a handle of this machine from one of a machine that has
// since been replaced.
struct OwnedHandle {
    HANDLE handle = nullptr;
    std::weak_ptr<KernelObject> file;
};

std::map<int, OwnedHandle> &descriptors() {
    static std::map<int, OwnedHandle> owned;
    return owned;
}

// The handle a descriptor of _open_osfhandle owns; nullptr (errno EBADF) for
// any other descriptor.
HANDLE handleOwnedBy(int descriptor) {
    const auto it = descriptors().find(descriptor);
    if (it == descriptors().end() || it->second.file.lock() == nullptr ||
        kernel().handles.get(it->second.handle) != it->second.file.lock()) {
        errno = EBADF;
        return nullptr;
    }
    return it->second.handle;
}

// Opens a stream with the host's open on a descriptor of _open_osfhandle;
// the stream owns the descriptor's handle from then on.
template <class Stream> Stream openOnDescriptor(const char *operation, int descriptor,
                                                const char *mode,
                                                Stream (*open)(int, const char *)) {
    if (plannedFileFault(operation) != ERROR_SUCCESS) {
        errno = EMFILE;
        return nullptr;
    }
    const HANDLE handle = handleOwnedBy(descriptor);
    if (handle == nullptr || mode == nullptr) {
        return nullptr;
    }
    Stream stream = open(descriptor, mode);
    if (stream != nullptr) {
        descriptors().erase(descriptor);
        files().openStreams[stream] = handle;
    }
    return stream;
}

// A damaged file: the bytes before failFrom read as stored, then reads fail.
struct DamagedFile {
    FILE *real = nullptr;
    long failFrom = 0;
    long position = 0;
};

ssize_t readDamaged(void *cookie, char *buffer, size_t size) {
    auto *file = static_cast<DamagedFile *>(cookie);
    if (file->position >= file->failFrom) {
        errno = EIO;
        return -1;
    }
    const auto readable = static_cast<size_t>(file->failFrom - file->position);
    const size_t count = std::fread(buffer, 1, size < readable ? size : readable, file->real);
    if (count == 0 && std::ferror(file->real) != 0) {
        errno = EIO;
        return -1;
    }
    file->position += static_cast<long>(count);
    return static_cast<ssize_t>(count);
}

int closeDamaged(void *cookie) {
    auto *file = static_cast<DamagedFile *>(cookie);
    const int result = std::fclose(file->real);
    delete file;
    return result;
}

// The offset from which reads of the file at host fail, or -1.
long readFailureOffset(const std::string &host) {
    for (const auto &[machinePath, offset] : files().readFailsFrom) {
        ResolvedPath damaged;
        if (resolvePath(machinePath, damaged) && damaged.host == host) {
            return offset;
        }
    }
    return -1;
}

FILE *openDamaged(const std::string &host, long failFrom) {
    FILE *real = std::fopen(host.c_str(), "rb");
    if (real == nullptr) {
        return nullptr;
    }
    auto *file = new DamagedFile{real, failFrom, 0};
    FILE *stream =
        fopencookie(file, "rb", cookie_io_functions_t{readDamaged, nullptr, nullptr, closeDamaged});
    if (stream == nullptr) {
        closeDamaged(file);
    }
    return stream;
}

} // namespace
} // namespace emu

namespace win {

FILE *fopen(const char *path, const char *mode) {
    if (emu::plannedFileFault("fopen") != ERROR_SUCCESS) {
        errno = EACCES;
        return nullptr;
    }
    std::string host;
    if (!emu::hostFileToOpen(path, mode, host)) {
        return nullptr;
    }
    const long failFrom = emu::opensForWriting(mode) ? -1 : emu::readFailureOffset(host);
    FILE *file = failFrom >= 0 ? emu::openDamaged(host, failFrom) : std::fopen(host.c_str(), mode);
    if (file != nullptr) {
        emu::track(file);
    }
    return file;
}

// A planned fault makes a close fail as one whose last buffered data could
// not be written does: the file is closed all the same.
int fclose(FILE *file) {
    const DWORD fault = emu::plannedFileFault("fclose");
    emu::untrack(file);
    const int result = std::fclose(file);
    if (fault != ERROR_SUCCESS) {
        errno = ENOSPC;
        return EOF;
    }
    return result;
}

gzFile gzopen(const char *path, const char *mode) {
    if (emu::plannedFileFault("gzopen") != ERROR_SUCCESS) {
        errno = EACCES;
        return nullptr;
    }
    std::string host;
    if (!emu::hostFileToOpen(path, mode, host)) {
        return nullptr;
    }
    gzFile file = ::gzopen(host.c_str(), mode);
    if (file != nullptr) {
        emu::track(file);
    }
    return file;
}

int _open_osfhandle(std::intptr_t handle, int /*flags*/) {
    if (emu::plannedFileFault("_open_osfhandle") != ERROR_SUCCESS) {
        errno = EMFILE;
        return -1;
    }
    const auto file = reinterpret_cast<HANDLE>(handle);
    const int host = emu::hostDescriptorOf(file);
    const int descriptor = host < 0 ? -1 : ::fcntl(host, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) {
        errno = EBADF;
        return -1;
    }
    emu::descriptors()[descriptor] = {file, emu::kernel().handles.get(file)};
    return descriptor;
}

FILE *_fdopen(int descriptor, const char *mode) {
    return emu::openOnDescriptor<FILE *>("_fdopen", descriptor, mode, ::fdopen);
}

gzFile gzdopen(int descriptor, const char *mode) {
    return emu::openOnDescriptor<gzFile>("gzdopen", descriptor, mode, ::gzdopen);
}

int _close(int descriptor) {
    const HANDLE handle = emu::handleOwnedBy(descriptor);
    if (handle == nullptr) {
        return -1;
    }
    emu::descriptors().erase(descriptor);
    const bool closed = ::close(descriptor) == 0;
    return emu::kernel().handles.close(handle) && closed ? 0 : -1;
}

int gzclose(gzFile file) {
    const DWORD fault = emu::plannedFileFault("gzclose");
    emu::untrack(file);
    const int result = ::gzclose(file);
    if (fault != ERROR_SUCCESS) {
        errno = ENOSPC;
        return Z_ERRNO;
    }
    return result;
}

} // namespace win
