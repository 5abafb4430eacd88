// The process heap of the emulated machine: every block is tracked, so a
// test sees a block that was not given back.
#include <cstdlib>

#include "emulator/processes/process_state.h"
#include "platform/heap.h"
#include "platform/system.h"

namespace emu {
namespace {
const HANDLE kProcessHeap = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x00150000));
} // namespace
} // namespace emu

namespace win {

HANDLE GetProcessHeap() { return emu::kProcessHeap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    // Like Windows, a failing HeapAlloc leaves the last error as it was.
    if (heap != emu::kProcessHeap || emu::processes().heapExhausted) {
        return nullptr;
    }
    void *block = (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, bytes ? bytes : 1)
                                                  : std::malloc(bytes ? bytes : 1);
    if (block != nullptr) {
        emu::processes().heapBlocks.insert(block);
    }
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD /*flags*/, LPVOID block) {
    if (block == nullptr) {
        return TRUE;
    }
    if (heap != emu::kProcessHeap || emu::processes().heapBlocks.erase(block) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::free(block);
    return TRUE;
}

} // namespace win
