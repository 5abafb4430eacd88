#include "transcript.h"

#include "emulator/persistence/lossless_text.h"

namespace host {

std::string visible(const std::string &text, unsigned codePage) {
    return emu::fromMachine(text, codePage);
}

// Not fromMachine(text, 0, alsoEscaped): that escapes the user's own \x{
// and reads code page 0 through the system's converter, which passes
// sequences beyond U+10FFFF that the host's one UTF-8 rule, utf8CharacterAt,
// refuses.
std::string asWritten(const std::string &text, const std::string &alsoEscaped) {
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = emu::utf8CharacterAt(text, at);
        if (length == 0 || byte < 0x20 || byte == 0x7F ||
            alsoEscaped.find(text[at]) != std::string::npos) {
            shown += emu::escapedByte(byte);
            ++at;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

std::string describeOutcome(const std::string &exportName, const Outcome &outcome,
                            unsigned codePage) {
    std::string text = exportName + " -> " + visible(outcome.result.describe(), codePage) + "\n";
    if (outcome.changes.empty()) {
        text += "  (no changes)\n";
    }
    for (const std::string &line : outcome.changes) {
        text += "  " + visible(line, codePage) + "\n";
    }
    return text;
}

} // namespace host
