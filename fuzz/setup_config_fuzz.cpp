// The setup configuration's values: any text in QLNSETUP.INI, with any
// environment variables defined, expanded into the getters' 1,024-byte
// buffers, and the default paths joined to any setup folder. A getter gives
// at most 1,023 characters: the expanded value where it fits, else the
// value as read.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

#include "fuzz_machine.h"
#include "emulator/machine.h"
#include "platform/environment.h"
#include "platform/profile.h"
#include "radozavu.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>()));
    for (int variable = input.ConsumeIntegralInRange(0, 3); variable > 0; --variable) {
        const std::string name = input.ConsumeRandomLengthString(16);
        emu::machine().system.environment[fuzz::textOf(name)] =
            fuzz::textOf(input.ConsumeRandomLengthString(700));
    }
    const std::string value = input.ConsumeRandomLengthString(1500);
    const std::string folder = fuzz::textOf(input.ConsumeRemainingBytesAsString());
    fuzz::writeFile("C:\\Setup\\QLNSETUP.INI", "[Configuration]\r\nProgramGroup=" + value +
                                                   "\r\nInitialRegFile=" + value + "\r\n");

    const std::string group = GetProgramGroup("C:\\Setup\\");
    char raw[1024];
    win::GetPrivateProfileStringA("Configuration", "ProgramGroup", "Quillane", raw, sizeof raw,
                                  "C:\\Setup\\QLNSETUP.INI");
    // The expansion into a buffer of exactly the size it asks for.
    const DWORD needed = win::ExpandEnvironmentStringsA(raw, nullptr, 0);
    std::vector<char> expanded(needed, 'X');
    fuzz::expect(win::ExpandEnvironmentStringsA(raw, expanded.data(), needed) == needed &&
                     std::strlen(expanded.data()) + 1 == needed,
                 "an expansion does not fit the size it asked for");
    fuzz::expect(group.size() <= 1023 &&
                     group == (needed <= 1024 ? std::string(expanded.data()) : std::string(raw)),
                 "the setting \"" + fuzz::visible(raw) + "\" came back as \"" +
                     fuzz::visible(group) + "\"");

    GetInitialRegFile(folder.c_str());
    GetInitialPreferencesFile(folder.c_str());
    GetExecuteOnCompletion(folder.c_str());
    fuzz::finishInput();
    return 0;
}
