// File contents of the emulated machine: files opened with CreateFileA are
// kernel objects in the handle table, over host files. Share modes hold as on
// Windows: an open that would take an access another open does not share, or
// refuse one that another open already has, fails with a sharing violation
// while that other open lasts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "emulator/change_observer.h"
#include "emulator/files/files_internal.h"
#include "emulator/kernel/kernel_objects.h"
#include "platform/file_io.h"
#include "platform/system.h"

namespace emu {
namespace {

struct OpenFile : KernelObject {
    std::string host;
    DWORD access = 0;
    DWORD shareMode = 0;
    int descriptor = -1;
    std::int64_t position = 0;

    OpenFile() = default;
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    ~OpenFile() override {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
};

// Every file open now; an entry expires when its handle is closed (or the
// machine is replaced, which closes every handle).
std::vector<std::weak_ptr<OpenFile>> &openFiles() {
    static std::vector<std::weak_ptr<OpenFile>> files;
    return files;
}

bool conflicts(DWORD access, DWORD shareMode, const OpenFile &other) {
    const auto refused = [](DWORD wanted, DWORD shared) {
        return ((wanted & GENERIC_READ) != 0 && (shared & FILE_SHARE_READ) == 0) ||
               ((wanted & GENERIC_WRITE) != 0 && (shared & FILE_SHARE_WRITE) == 0) ||
               ((wanted & DELETE) != 0 && (shared & FILE_SHARE_DELETE) == 0);
    };
    // An open that takes no access holds no share mode either.
    const bool otherTakesAccess = (other.access & (GENERIC_READ | GENERIC_WRITE | DELETE)) != 0;
    return (otherTakesAccess && refused(access, other.shareMode)) ||
           refused(other.access, shareMode);
}

} // namespace

bool sharingAllows(const std::string &host, DWORD access, DWORD shareMode) {
    auto &files = openFiles();
    std::erase_if(files, [](const std::weak_ptr<OpenFile> &file) { return file.expired(); });
    for (const auto &entry : files) {
        const auto file = entry.lock();
        if (file->host == host && conflicts(access, shareMode, *file)) {
            return false;
        }
    }
    return true;
}

int hostDescriptorOf(HANDLE file) {
    const auto open = kernel().handles.getAs<OpenFile>(file);
    return open ? open->descriptor : -1;
}

namespace {

HANDLE fail(DWORD code) {
    win::SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

} // namespace
} // namespace emu

namespace win {

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/) {
    if (const DWORD fault = emu::plannedFileFault("CreateFileA"); fault != ERROR_SUCCESS) {
        return emu::fail(fault);
    }
    emu::ResolvedPath resolved;
    if (path == nullptr || !emu::resolvePath(path, resolved)) {
        return emu::fail(ERROR_PATH_NOT_FOUND);
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        return emu::fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD attributes = emu::attributesOf(resolved.host);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (resolved.parts.empty() || (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
        return emu::fail(ERROR_ACCESS_DENIED); // a folder is no file
    }
    if (resolved.trailingSeparator) {
        return emu::fail(ERROR_INVALID_NAME);
    }
    int flags = 0;
    if (exists) {
        if (disposition == CREATE_NEW) {
            return emu::fail(ERROR_FILE_EXISTS);
        }
        if ((access & GENERIC_WRITE) != 0 && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return emu::fail(ERROR_ACCESS_DENIED);
        }
        if (!emu::sharingAllows(resolved.host, access, shareMode)) {
            return emu::fail(ERROR_SHARING_VIOLATION);
        }
        if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) {
            flags |= O_TRUNC;
        }
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
            return emu::fail(emu::missingPathError(resolved.host));
        }
        flags |= O_CREAT;
    }
    if ((access & GENERIC_WRITE) != 0) {
        flags |= (access & GENERIC_READ) != 0 ? O_RDWR : O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    if ((flags & (O_CREAT | O_TRUNC | O_WRONLY | O_RDWR)) != 0) {
        emu::noteFileChanging(resolved.host);
    }
    const int descriptor = ::open(resolved.host.c_str(), flags | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return emu::fail(exists ? ERROR_ACCESS_DENIED : emu::missingPathError(resolved.host));
    }
    auto file = std::make_shared<emu::OpenFile>();
    file->host = resolved.host;
    file->access = access;
    file->shareMode = shareMode;
    file->descriptor = descriptor;
    emu::openFiles().push_back(file);
    // Opening a file that was there already is reported for the two
    // dispositions that may also create one.
    const bool reportExisting =
        exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return emu::kernel().handles.add(file);
}

// The host file system's device and inode numbers stand for the volume's
// serial number and the file's index: two names of one file (letter case,
// short names, links) give the same pair. Times are not kept. A device has
// no such information.
BOOL GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
    if (const DWORD fault = emu::plannedFileFault("GetFileInformationByHandle");
        fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return FALSE;
    }
    auto file = emu::kernel().handles.getAs<emu::OpenFile>(handle);
    struct stat status {};
    if (!file || information == nullptr || ::fstat(file->descriptor, &status) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!S_ISREG(status.st_mode)) {
        SetLastError(ERROR_INVALID_FUNCTION); // a device: a host file such as /dev/full
        return FALSE;
    }
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->dwFileAttributes = emu::attributesOf(file->host);
    information->dwVolumeSerialNumber = static_cast<DWORD>(status.st_dev);
    const auto size = static_cast<std::uint64_t>(status.st_size);
    information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    information->nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
    const auto index = static_cast<std::uint64_t>(status.st_ino);
    information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    information->nFileIndexLow = static_cast<DWORD>(index & 0xFFFFFFFF);
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
    if (const DWORD fault = emu::plannedFileFault("SetFilePointer"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return INVALID_SET_FILE_POINTER;
    }
    auto file = emu::kernel().handles.getAs<emu::OpenFile>(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    const std::int64_t move =
        distanceHigh != nullptr
            ? static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                  static_cast<DWORD>(distance))
            : static_cast<std::int64_t>(distance);
    std::int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = file->position;
    } else if (moveMethod == FILE_END) {
        struct stat info {};
        if (::fstat(file->descriptor, &info) != 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_SET_FILE_POINTER;
        }
        base = info.st_size;
    } else if (moveMethod != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const std::int64_t target = base + move;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the new position must fit in 32 bits.
    if (distanceHigh == nullptr && target >= static_cast<std::int64_t>(INVALID_SET_FILE_POINTER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    file->position = target;
    if (distanceHigh != nullptr) {
        *distanceHigh = static_cast<LONG>(target >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target & 0xFFFFFFFF);
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD size, LPDWORD written,
               LPOVERLAPPED /*overlapped*/) {
    if (written != nullptr) {
        *written = 0;
    }
    if (const DWORD fault = emu::plannedFileFault("WriteFile"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return FALSE;
    }
    auto file = emu::kernel().handles.getAs<emu::OpenFile>(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((file->access & GENERIC_WRITE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (size != 0 && data == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    const ssize_t done = ::pwrite(file->descriptor, data, size, static_cast<off_t>(file->position));
    if (done < 0 || static_cast<DWORD>(done) != size) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    file->position += done;
    if (written != nullptr) {
        *written = size;
    }
    return TRUE;
}

} // namespace win
