#include "exports_table.h"

#include <cstdint>
#include <stdexcept>
#include <tuple>
#include <type_traits>

#include "emulator/persistence/number_text.h"
#include "frame/export_list.h"
#include "host_error.h"

namespace host {

namespace {

using namespace radozavu::exports;

// The host's name for the form of an export of type F.
template <class F> constexpr Signature signatureOf() {
    using S = Signature;
    if constexpr (std::is_same_v<F, Text(RADOZAVU_CALL *)(Text)>) {
        return S::TextToText;
    } else if constexpr (std::is_same_v<F, Int(RADOZAVU_CALL *)(Record)>) {
        return S::Record;
    } else if constexpr (std::is_same_v<F, Int(RADOZAVU_CALL *)()>) {
        return S::NoneToInt;
    } else if constexpr (std::is_same_v<F, Text(RADOZAVU_CALL *)()>) {
        return S::NoneToText;
    } else if constexpr (std::is_same_v<F, Int(RADOZAVU_CALL *)(Text)>) {
        return S::TextToInt;
    } else if constexpr (std::is_same_v<F, Int(RADOZAVU_CALL *)(Text, Text)>) {
        return S::TextTextToInt;
    } else if constexpr (std::is_same_v<F, Nothing(RADOZAVU_CALL *)(Text, Text)>) {
        return S::TextTextToVoid;
    } else if constexpr (std::is_same_v<F, Int(RADOZAVU_CALL *)(Int, Text, Text)>) {
        return S::IntTextTextToInt;
    } else if constexpr (std::is_same_v<F, Text(RADOZAVU_CALL *)(Text, Text, Int)>) {
        return S::TextTextIntToText;
    } else if constexpr (std::is_same_v<F, Text(RADOZAVU_CALL *)(Text, Text)>) {
        return S::TextTextToText;
    } else {
        static_assert(std::is_same_v<F, Text(RADOZAVU_CALL *)(Int)>,
                      "an export form the host does not know");
        return S::IntToText;
    }
}

int parseInteger(const std::string &text) {
    const auto value = emu::readNumber(text, INT32_MIN, INT32_MAX);
    if (!value) {
        throw std::invalid_argument("not a 32-bit integer: " + text);
    }
    return static_cast<int>(*value);
}

// Calls function with the arguments converted to its parameter types: the
// plain arguments in order (integers parsed from their text), and the record
// built from --owner and --param.
template <class R, class... Parameters>
CallResult invoke(R(RADOZAVU_CALL *function)(Parameters...), const CallArguments &arguments) {
    SetupCallRecord record{};
    record.OwnerWindow = reinterpret_cast<HWND>(arguments.owner);
    record.ParamText = arguments.hasParam ? arguments.param.c_str() : nullptr;
    std::size_t next = 0;
    [[maybe_unused]] auto convert = [&]<class T>(std::type_identity<T>) -> T {
        if constexpr (std::is_same_v<T, Record>) {
            return arguments.noRecord ? nullptr : &record;
        } else if constexpr (std::is_same_v<T, Text>) {
            return arguments.plain[next++].c_str();
        } else {
            return parseInteger(arguments.plain[next++]);
        }
    };
    // A braced list converts the arguments from left to right.
    const std::tuple<Parameters...> values{convert(std::type_identity<Parameters>{})...};
    CallResult result;
    if constexpr (std::is_void_v<R>) {
        std::apply(function, values);
        result.isVoid = true;
    } else if constexpr (std::is_same_v<R, Text>) {
        const char *text = std::apply(function, values);
        result.isText = true;
        result.isNull = text == nullptr;
        result.text = text != nullptr ? text : "";
    } else {
        result.number = std::apply(function, values);
    }
    return result;
}

// The symbol as a function of type F (through void (*)(), which converts to
// any function type).
template <class F> CallResult callAs(void *symbol, const CallArguments &arguments) {
    return invoke(reinterpret_cast<F>(reinterpret_cast<void (*)()>(symbol)), arguments);
}

} // namespace

const std::vector<ExportInfo> &exportTable() {
    static const std::vector<ExportInfo> table = {
#define RADOZAVU_EXPORT_ENTRY(name, result, arguments, commandLine, page)                          \
    {#name, signatureOf<decltype(&::name)>(), commandLine, &callAs<decltype(&::name)>},
#include "exports.inc"
#undef RADOZAVU_EXPORT_ENTRY
    };
    return table;
}

const ExportInfo *findExport(const std::string &name) {
    for (const ExportInfo &info : exportTable()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

std::size_t argumentCount(Signature signature) {
    switch (signature) {
    case Signature::Record:
    case Signature::NoneToInt:
    case Signature::NoneToText:
        return 0;
    case Signature::TextToText:
    case Signature::TextToInt:
    case Signature::IntToText:
        return 1;
    case Signature::TextTextToInt:
    case Signature::TextTextToVoid:
    case Signature::TextTextToText:
        return 2;
    case Signature::IntTextTextToInt:
    case Signature::TextTextIntToText:
        return 3;
    }
    return 0;
}

bool isIntegerArgument(Signature signature, std::size_t index) {
    return (signature == Signature::IntToText && index == 0) ||
           (signature == Signature::IntTextTextToInt && index == 0) ||
           (signature == Signature::TextTextIntToText && index == 2);
}

const char *resultKind(Signature signature) {
    switch (signature) {
    case Signature::TextToText:
    case Signature::NoneToText:
    case Signature::TextTextIntToText:
    case Signature::TextTextToText:
    case Signature::IntToText:
        return "text";
    case Signature::TextTextToVoid:
        return "nothing";
    default:
        return "integer";
    }
}

std::string CallResult::describe() const {
    if (isVoid) {
        return "(no result)";
    }
    if (isText) {
        return isNull ? "(null)" : text;
    }
    return std::to_string(number);
}

CallResult callExport(const ExportInfo &info, void *symbol, const CallArguments &arguments) {
    return info.call(symbol, arguments);
}

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

} // namespace host
