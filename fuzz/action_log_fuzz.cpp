// The install action log's parameter text, split at its first "|" (never at
// the trail byte of a double-byte character): any text in any code page. The
// log only ever grows, by one whole line at most, whose message is the text
// after the "|", cut to the 519 bytes of the parameter text at a character
// boundary; and a text without "|" writes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_machine.h"
#include "logging/action_log.h"
#include "emulator/system/calendar.h"
#include "base/mbtext.h"
#include "radozavu.h"

namespace {

constexpr const char *kSetupIni = "C:\\Setup\\QLNSETUP.INI";
constexpr const char *kLog = "C:\\Logs\\install.log";
constexpr const char *kEarlier = "Mon Mar 06 09:00 AM 2006 : Started\r\n";
constexpr const char *kStamp = "Tue Mar 07 02:05 PM 2006";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>()));
    emu::setLocalTime(2006, 3, 7, 14, 5);
    fuzz::writeFile(kSetupIni, std::string("[Configuration]\r\nInstallActionLog=") + kLog + "\r\n");
    fuzz::writeFile(kLog, kEarlier);
    // Often the real profile path, so that lines are written.
    std::string text = input.ConsumeBool() ? std::string(kSetupIni) : std::string();
    text += input.ConsumeRemainingBytesAsString();
    text = fuzz::textOf(text); // the parameter text ends at its first zero

    SetupCallRecord record{};
    record.ParamText = text.c_str();
    const int result = HKSetupAddActionLog(&record);

    std::string log;
    fuzz::expect(fuzz::readFile(kLog, log), "the log was removed");
    const char *bar = mbtext::findChar(text.c_str(), '|');
    fuzz::expect(result == (bar == nullptr ? 1 : 0),
                 "wrong result for \"" + fuzz::visible(text) + "\"");
    fuzz::expect(log.compare(0, std::string(kEarlier).size(), kEarlier) == 0,
                 "the log's earlier lines changed");
    if (log.size() > std::string(kEarlier).size()) {
        fuzz::expect(bar != nullptr, "a text without a bar wrote a line");
        const auto pathLength = static_cast<std::size_t>(bar - text.c_str());
        const std::size_t room = logging::kMaxActionParamLength - pathLength - 1;
        const std::string message(bar + 1, mbtext::prefixLength(bar + 1, room));
        const std::string line = std::string(kStamp) + " : " + message + "\r\n";
        fuzz::expect(pathLength < logging::kMaxActionParamLength &&
                         log == std::string(kEarlier) + line,
                     "the line written for \"" + fuzz::visible(text) + "\" is \"" +
                         fuzz::visible(log.substr(std::string(kEarlier).size())) + "\"");
    } else if (bar != nullptr && std::string(text.c_str(), bar) == kSetupIni) {
        fuzz::fail("no line was written for \"" + fuzz::visible(text) + "\"");
    }
    fuzz::finishInput();
    return 0;
}
