// A getter call on a thirty-key QLNSETUP.INI. Every getter reads the file
// afresh, so its floor is a bare open, read and close of the same file.
#include <cstdio>
#include <cstring>

#include "support/scratch_machine.h"
#include "cases.h"
#include "floor_reporter.h"
#include "platform/buffered_files.h"
#include "radozavu.h"
#include "setup_ini.h"

namespace bench {
namespace {

constexpr const char *kSetupFolder = "C:\\Setup\\";
constexpr const char *kSetupIni = "C:\\Setup\\QLNSETUP.INI";

void bareIniRead(benchmark::State &state) {
    ScratchMachine::writeFile(kSetupIni, kSetupIniContent);
    char buffer[4096];
    for (auto _ : state) {
        std::FILE *file = win::fopen(kSetupIni, "rb");
        if (file == nullptr) {
            state.SkipWithError("QLNSETUP.INI cannot be opened");
            break;
        }
        while (std::fread(buffer, 1, sizeof buffer, file) == sizeof buffer) {
        }
        benchmark::DoNotOptimize(buffer);
        win::fclose(file);
    }
}

template <const char *(RADOZAVU_CALL *Getter)(const char *)>
void getterCall(benchmark::State &state) {
    ScratchMachine::writeFile(kSetupIni, kSetupIniContent);
    for (auto _ : state) {
        const char *value = Getter(kSetupFolder);
        if (std::strcmp(value, "NO") != 0) {
            state.SkipWithError("the getter did not give the file's value");
            break;
        }
    }
}

} // namespace

void registerConfigCases() {
    registerCase("Getter.FirstKey.GetValidateSettings", bareIniRead,
                 getterCall<GetValidateSettings>, 2.0);
    registerCase("Getter.LastKey.GetMultipleIniFiles", bareIniRead, getterCall<GetMultipleIniFiles>,
                 2.0);
}

} // namespace bench
