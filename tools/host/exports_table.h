// What the host knows of the library's exports: each export's name, the form
// of its arguments and result, and how to call it through a resolved symbol.
// The table comes from the export list (resources/exports.inc); each export
// is called through the type radozavu.h declares for it.
#pragma once

#include <string>
#include <vector>

namespace host {

enum class Signature {
    TextToText,        // const char *(const char *)
    Record,            // int (SetupCallRecord *)
    NoneToInt,         // int (void)
    NoneToText,        // const char *(void)
    TextToInt,         // int (const char *)
    TextTextToInt,     // int (const char *, const char *)
    TextTextToVoid,    // void (const char *, const char *)
    IntTextTextToInt,  // int (int, const char *, const char *)
    TextTextIntToText, // const char *(const char *, const char *, int)
    TextTextToText,    // const char *(const char *, const char *)
    IntToText,         // const char *(int)
};

struct CallArguments;
struct CallResult;

struct ExportInfo {
    const char *name;
    Signature signature;
    const char *arguments; // what each argument means, for the help text
    // Calls the export at a resolved symbol through its declared type.
    CallResult (*call)(void *symbol, const CallArguments &arguments);
};

const std::vector<ExportInfo> &exportTable();
const ExportInfo *findExport(const std::string &name);

// How many plain arguments an export takes (a record counts as none: its
// owner and parameter text come from --owner and --param).
std::size_t argumentCount(Signature signature);
// Whether the plain argument at index is an integer (else it is text).
bool isIntegerArgument(Signature signature, std::size_t index);
// "text", "integer" or "nothing".
const char *resultKind(Signature signature);

// The arguments of one call as the user gave them.
struct CallArguments {
    std::vector<std::string> plain;
    bool hasParam = false; // --param given (else ParamText is null)
    std::string param;
    unsigned long owner = 0; // --owner: the installer window handle
    bool noRecord = false;   // --no-record: pass a null record address
};

struct CallResult {
    bool isText = false;
    bool isNull = false; // a text export that returned no address
    bool isVoid = false;
    long number = 0;
    std::string text;
    [[nodiscard]] std::string describe() const;
};

// Calls the export at symbol with the arguments; integers are parsed from
// their text. Throws std::invalid_argument on a malformed integer.
CallResult callExport(const ExportInfo &info, void *symbol, const CallArguments &arguments);

// Throws UsageError unless the export exists and takes these arguments: their
// number, record options only for a record export, integers where it takes
// integers (an argument holding $result is checked when it is known).
void checkCall(const std::string &exportName, const CallArguments &arguments);

} // namespace host
