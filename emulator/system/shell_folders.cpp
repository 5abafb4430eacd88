// The shell's special folders on the emulated machine. An item identifier
// list stands for one folder and stays allocated until CoTaskMemFree, so a
// list nobody freed counts as left open.
#include <new>

#include "emulator/system/system_state.h"
#include "emulator/text.h"
#include "platform/shell_folders.h"

namespace win {

HRESULT SHGetSpecialFolderLocation(HWND /*owner*/, int folder, PIDLIST_ABSOLUTE *items) {
    if (items == nullptr) {
        return E_FAIL;
    }
    *items = nullptr;
    const auto found = emu::system().specialFolders.find(folder);
    if (found == emu::system().specialFolders.end()) {
        return E_FAIL;
    }
    auto *list = new ITEMIDLIST{};
    emu::system().shellItemLists[list] = found->second;
    *items = list;
    return S_OK;
}

BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE items, LPSTR path) {
    const auto found = emu::system().shellItemLists.find(items);
    if (path == nullptr) {
        return FALSE;
    }
    path[0] = '\0';
    if (found == emu::system().shellItemLists.end() || found->second.empty()) {
        return FALSE; // unknown, or a folder outside the file system
    }
    const std::size_t length = emu::wholeCharacterBytes(found->second.c_str(), MAX_PATH - 1);
    found->second.copy(path, length);
    path[length] = '\0';
    return TRUE;
}

void CoTaskMemFree(LPVOID memory) {
    const auto found = emu::system().shellItemLists.find(memory);
    if (found != emu::system().shellItemLists.end()) {
        emu::system().shellItemLists.erase(found);
        delete static_cast<ITEMIDLIST *>(memory);
    }
}

} // namespace win
