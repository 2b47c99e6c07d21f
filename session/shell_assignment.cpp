#include "shell_assignment.h"

namespace {

// Returns text with each single quote replaced by with.
std::string Requoted(const std::string& text, const char* with) {
    std::string quoted;
    for (char c : text) {
        if (c == '\'') {
            quoted += with;
        } else {
            quoted += c;
        }
    }
    return quoted;
}

}  // namespace

std::string ShellAssignment(SessionShell shell, const std::string& name) {
    switch (shell) {
        case SessionShell::Cmd: return "set \"ZENOLT_SESSION=" + name + "\"";
        case SessionShell::PowerShell: return "$env:ZENOLT_SESSION = '" + Requoted(name, "''") + "'";
        case SessionShell::Posix: break;
    }
    return "ZENOLT_SESSION='" + Requoted(name, "'\\''") + "'; export ZENOLT_SESSION";
}
