// A getter call on a thirty-key QLNSETUP.INI, and the last key's getter on
// files of 300 and 3,000 keys. Every getter reads the file afresh, so its
// floor is a bare open, read and close of the same file.
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

template <int Keys> void bareIniRead(benchmark::State &state) {
    ScratchMachine::writeFile(kSetupIni, setupIniWithKeys(Keys));
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

template <const char *(RADOZAVU_CALL *Getter)(const char *), int Keys>
void getterCall(benchmark::State &state) {
    ScratchMachine::writeFile(kSetupIni, setupIniWithKeys(Keys));
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
    registerCase("Getter.FirstKey.GetValidateSettings", bareIniRead<30>,
                 getterCall<GetValidateSettings, 30>, kGetterTarget);
    registerCase("Getter.LastKey.GetMultipleIniFiles", bareIniRead<30>,
                 getterCall<GetMultipleIniFiles, 30>, kGetterTarget);
    registerCase("Getter.LastKey.Keys300", bareIniRead<300>, getterCall<GetMultipleIniFiles, 300>);
    registerCase("Getter.LastKey.Keys3000", bareIniRead<3000>,
                 getterCall<GetMultipleIniFiles, 3000>);
    registerGrowth(
        "Getter.LastKey",
        {"Getter.LastKey.GetMultipleIniFiles", "Getter.LastKey.Keys300", "Getter.LastKey.Keys3000"},
        10);
}

} // namespace bench
