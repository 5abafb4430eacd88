#include "machine.h"

#include <cstdint>
#include <cstdio>

#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/number_text.h"

namespace host {

void checkCall(const std::string &exportName, const CallArguments &arguments) {
    const ExportInfo *info = findExport(exportName);
    if (info == nullptr) {
        throw UsageError("unknown export: " + exportName + " (radozavu exports lists them)");
    }
    const std::size_t expected = argumentCount(info->signature);
    if (arguments.plain.size() != expected) {
        throw UsageError(exportName + " takes " + std::to_string(expected) + " argument" +
                         (expected == 1 ? "" : "s") + " (" + info->arguments + "), " +
                         std::to_string(arguments.plain.size()) + " given");
    }
    if (info->signature != Signature::Record &&
        (arguments.hasParam || arguments.owner != 0 || arguments.noRecord)) {
        throw UsageError(exportName + " takes no call record: --param, --owner and --no-record "
                                      "do not apply");
    }
    for (std::size_t i = 0; i < expected; ++i) {
        const std::string &argument = arguments.plain[i];
        if (isIntegerArgument(info->signature, i) &&
            argument.find("$result") == std::string::npos &&
            !emu::readNumber(argument, INT32_MIN, INT32_MAX)) {
            throw UsageError(exportName + ": argument " + std::to_string(i + 1) + " is " +
                             emu::numberRange(INT32_MIN, INT32_MAX) + ", not " + argument);
        }
    }
}

std::string visible(const std::string &text, unsigned codePage) {
    return emu::fromMachine(text, codePage);
}

std::string asWritten(const std::string &text, const std::string &alsoEscaped) {
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = emu::utf8CharacterAt(text, at);
        if (length == 0 || byte < 0x20 || byte == 0x7F ||
            alsoEscaped.find(text[at]) != std::string::npos) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x{%02X}", byte);
            shown += escape;
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
