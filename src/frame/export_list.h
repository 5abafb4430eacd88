// The exports' function types, as the one export list (resources/exports.inc)
// gives them, each checked against its declaration in radozavu.h: a name the
// header lacks, or a declaration of another type, does not compile.
#pragma once

#include <type_traits>

#include "radozavu.h"

namespace radozavu::exports {

// The kinds the list names results and arguments by.
using Text = const char *;
using Int = int;
using Record = const SetupCallRecord *;
using Nothing = void;

// "arguments" is the list's parenthesised parameter list, so it stands bare.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define RADOZAVU_EXPORT_ENTRY(name, result, arguments, commandLine, page)                          \
    static_assert(std::is_same_v<result(RADOZAVU_CALL *) arguments, decltype(&::name)>,            \
                  #name " is declared in radozavu.h with another type than the export list's");
// NOLINTEND(bugprone-macro-parentheses)
#include "exports.inc"
#undef RADOZAVU_EXPORT_ENTRY

} // namespace radozavu::exports
