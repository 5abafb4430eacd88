// Move-only owners of the handles the library opens: each closes its handle
// when it goes out of scope, so no way out of an export leaves one open.
#pragma once

#include <utility>

#include "platform/buffered_files.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/heap.h"
#include "platform/services.h"

namespace handles {

template <class Traits> class UniqueOwner {
public:
    using Handle = typename Traits::Handle;

    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle) : handle_(handle) {}
    UniqueOwner(const UniqueOwner &) = delete;
    UniqueOwner &operator=(const UniqueOwner &) = delete;
    UniqueOwner(UniqueOwner &&other) noexcept : handle_(other.release()) {}
    UniqueOwner &operator=(UniqueOwner &&other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueOwner() { reset(); }

    [[nodiscard]] Handle get() const { return handle_; }
    [[nodiscard]] explicit operator bool() const { return handle_ != Traits::invalid(); }

    // The address to pass to an API that opens the handle; closes any held one.
    Handle *put() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Traits::invalid()); }
    // Closes the held handle now; returns whether closing succeeded.
    bool reset(Handle handle = Traits::invalid()) {
        const Handle old = std::exchange(handle_, handle);
        return old == Traits::invalid() || Traits::close(old);
    }

private:
    Handle handle_ = Traits::invalid();
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::RegCloseKey(h) == ERROR_SUCCESS; }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return win::FindClose(h) != FALSE; }
};
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::CloseHandle(h) != FALSE; }
};
// Files opened with CreateFileA signal failure with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return win::CloseHandle(h) != FALSE; }
};

using UniqueKey = UniqueOwner<RegistryKeyTraits>;
using UniqueFindHandle = UniqueOwner<FindHandleTraits>;
using UniqueHandle = UniqueOwner<KernelHandleTraits>;
using UniqueFileHandle = UniqueOwner<FileHandleTraits>;

// Buffered files of the C runtime and gzip files of zlib; reset() reports a
// close that failed (its last buffered data could not be written).
struct BufferedFileTraits {
    using Handle = FILE *;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::fclose(h) == 0; }
};
struct GzipFileTraits {
    using Handle = gzFile;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::gzclose(h) == Z_OK; }
};
using UniqueBufferedFile = UniqueOwner<BufferedFileTraits>;
using UniqueGzipFile = UniqueOwner<GzipFileTraits>;
// Handles of the service control manager and of services.
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::CloseServiceHandle(h) != FALSE; }
};
// A block taken from the process heap.
struct HeapBlockTraits {
    using Handle = LPVOID;
    static Handle invalid() { return nullptr; }
    static bool close(Handle h) { return win::HeapFree(win::GetProcessHeap(), 0, h) != FALSE; }
};
using UniqueServiceHandle = UniqueOwner<ServiceHandleTraits>;
using UniqueHeapBlock = UniqueOwner<HeapBlockTraits>;

} // namespace handles
