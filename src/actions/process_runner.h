// Starting the programs the post-install steps need, and waiting for them.
#pragma once

#include <string>

namespace actions {

// The full path of a program of Windows itself, found where the system's own
// search finds it on a normal machine but without the setup program's folder
// or the current folder, which a user may fill: the system folder (its
// 32-bit files under WOW64), else the Windows folder. "" when it is in
// neither or the path would not fit.
std::string SystemProgramPath(const char *fileName);

// Starts a program by its full path with arguments (its command line is the
// path in double quotes, a blank and the arguments) and waits, without a
// time limit, for it to end. 1 once it has ended (its exit code is not
// looked at); 0 if it could not be started or no program was given.
int RunAndWait(const std::string &program, const std::string &arguments);

// Starts a program by its full path with parameters through the shell, with
// its default verb, and waits without a time limit for it to end. Nothing
// is started when no program is given.
void ShellRunAndWait(const std::string &program, const char *parameters);

} // namespace actions
