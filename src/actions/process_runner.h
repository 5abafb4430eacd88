// Starting the programs the post-install steps need, and waiting for them.
#pragma once

namespace actions {

// Starts a command line and waits, without a time limit, for its program to
// end. 1 once it has ended (its exit code is not looked at); 0 if it could
// not be started.
int RunAndWait(const char *commandLine);

// Starts a program with parameters through the shell, with its default verb,
// and waits without a time limit for it to end.
void ShellRunAndWait(const char *program, const char *parameters);

} // namespace actions
