// The host's command-line options: how an option and its value are read
// ("--opt VALUE" or "--opt=VALUE"), and the options call and run share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host_machine.h"

namespace host {

// Whether words[i] is the option name with its value, given as "name VALUE"
// or "name=VALUE"; i then indexes the value's word. Throws UsageError when
// the value is missing.
bool optionValue(const std::vector<std::string> &words, std::size_t &i, const std::string &name,
                 std::string &value);

// The value of --codepage: a code page number (which ones the machine
// supports is the machine's to say). Throws UsageError for anything else.
unsigned codePageOption(const std::string &value);

// Takes the host's own options of call and run out of the words wherever
// they stand (but never as the value of --param or --owner), leaving the
// export or the scripts and their arguments, and refuses the options of run
// --windows without it.
HostOptions takeHostOptions(std::vector<std::string> &words, const std::string &library);

} // namespace host
