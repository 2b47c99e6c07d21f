// The line --start prints for the caller's shell to set ZENOLT_SESSION.
#ifndef ZENOLT_SESSION_SHELL_ASSIGNMENT_H
#define ZENOLT_SESSION_SHELL_ASSIGNMENT_H

#include <string>

#include "session_arguments.h"

// Returns the line (without its line end) that sets ZENOLT_SESSION to name
// in shell, quoted so that the shell takes name as it is:
//   POSIX sh    ZENOLT_SESSION='NAME'; export ZENOLT_SESSION
//   cmd.exe     set "ZENOLT_SESSION=NAME"
//   PowerShell  $env:ZENOLT_SESSION = 'NAME'
std::string ShellAssignment(SessionShell shell, const std::string& name);

#endif
