// String resources and system message texts of the emulated machine. Each
// module's strings are its own: LoadStringA finds a text only in the table
// that the module it names gave the machine as it loaded.
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "emulator/processes/process_state.h"
#include "platform/resources.h"
#include "platform/system.h"

namespace emu {
namespace {

// The texts Windows (English) gives for the error codes the library can show.
const std::map<DWORD, const char *> &systemTexts() {
    static const std::map<DWORD, const char *> texts = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {8, "Not enough storage is available to process this command.\r\n"},
        {32, "The process cannot access the file because it is being used by another "
             "process.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {1051, "A stop control has been sent to a service that other running services are "
               "dependent on.\r\n"},
        {1052, "The requested control is not valid for this service.\r\n"},
        {1053, "The service did not respond to the start or control request in a timely "
               "fashion.\r\n"},
        {1060, "The specified service does not exist as an installed service.\r\n"},
        {1061, "The service cannot accept control messages at this time.\r\n"},
        {1062, "The service has not been started.\r\n"},
        {1460, "This operation returned because the timeout period expired.\r\n"},
    };
    return texts;
}

std::set<void *> &localAllocations() {
    static std::set<void *> allocations;
    return allocations;
}

} // namespace

std::size_t localAllocationCount() { return localAllocations().size(); }

} // namespace emu

namespace win {

HINSTANCE RegisterStringTable(const StringResource *strings, std::size_t count) {
    // The table's address stands for the module's image: a module loaded
    // again is known by the same handle.
    auto *module = reinterpret_cast<HINSTANCE>(const_cast<StringResource *>(strings));
    std::map<UINT, std::string> &table = emu::processes().stringTables[module];
    table.clear();
    for (std::size_t i = 0; i < count; ++i) {
        table[strings[i].id] = strings[i].text;
    }
    return module;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    const auto &tables = emu::processes().stringTables;
    const auto table = tables.find(instance);
    if (table == tables.end()) {
        SetLastError(1813); // ERROR_RESOURCE_TYPE_NOT_FOUND: the module has no string table
        return 0;
    }
    const auto text = table->second.find(id);
    if (text == table->second.end()) {
        SetLastError(1814); // ERROR_RESOURCE_NAME_NOT_FOUND
        return 0;
    }
    const std::size_t length = text->second.copy(buffer, static_cast<std::size_t>(size - 1));
    buffer[length] = '\0';
    return static_cast<int>(length);
}

DWORD FormatMessageA(DWORD flags, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPSTR buffer, DWORD size, void * /*arguments*/) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto &texts = emu::systemTexts();
    auto it = texts.find(messageId);
    if (it == texts.end()) {
        SetLastError(317); // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    const std::size_t length = std::strlen(it->second);
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        auto *text = new char[length + 1];
        std::memcpy(text, it->second, length + 1);
        emu::localAllocations().insert(text);
        *reinterpret_cast<LPSTR *>(buffer) = text;
        return static_cast<DWORD>(length);
    }
    if (size <= length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, it->second, length + 1);
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL memory) {
    if (memory == nullptr) {
        return nullptr;
    }
    if (emu::localAllocations().erase(memory) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    delete[] static_cast<char *>(memory);
    return nullptr;
}

} // namespace win
