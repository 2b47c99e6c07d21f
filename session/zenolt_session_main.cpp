// ZenoltSession: holds one TCP conversation with the planetarium for the
// programs a script runs (Zenolt, ZenoltDump, ZenoltBatch), so that each of
// their commands costs the command, not a new conversation. Either runs a
// command with ZENOLT_SESSION set and ends with it, or starts in the
// background and prints what sets the variable in the caller's shell; --stop
// ends the session the variable names. With --help, its usage text; with
// --version, its version.
//
// Exit status: the command's; 125 no session could be made; 126 the command
// could not be run, 127 it was not found; 3 bad usage, or a ZENOLT_SERVER
// that holds no address. --start and --stop: 0, or 1 when no session could
// be started, or the variable is not set.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../common/options.h"
#include "../common/planetarium_reach.h"
#include "../common/process_platform.h"
#include "../common/program_version.h"
#include "../common/session_client.h"
#include "../common/text_lines.h"
#include "session_arguments.h"
#include "session_serve.h"
#include "session_usage.h"
#include "shell_assignment.h"

namespace {

// Returns the settings of the session the arguments describe.
SessionSettings SettingsOf(const SessionArguments& arguments, bool idles) {
    SessionSettings settings;
    settings.serverGiven = arguments.serverGiven;
    settings.server = arguments.server;
    settings.idleMs = idles ? arguments.idleSeconds * 1000 : 0;
    return settings;
}

// Takes ZENOLT_SERVER into arguments where --server was not given, as the
// programs do. Returns false when it holds no address (said on standard
// error).
bool ReadServerVariable(SessionArguments& arguments) {
    PlanetariumChoice choice;
    if (!ReadPlanetariumEnvironment(choice, arguments.serverGiven, true, "ZenoltSession")) {
        return false;
    }
    if (choice.by == ReachBy::ServerOnly) {
        arguments.serverGiven = true;
        arguments.server = choice.server;
    }
    return true;
}

// Serves as the background session; context points to its settings.
int ServeInBackground(SessionEndpoint& endpoint, void* context) {
    StartQuitHandling();
    return ServeSession(endpoint, *static_cast<SessionSettings*>(context), nullptr);
}

// Returns the status of --stop: 0 once the session is gone (or was), 1 when
// the variable names none, or one this release cannot ask.
int StopNamedSession() {
    const char* name = std::getenv(kSessionVariable);
    if (name == nullptr || *name == '\0') {
        WriteLine(stderr, "ZenoltSession: ZENOLT_SESSION is not set: no session to stop");
        return 1;
    }
    if (StopSession(name) == SessionStop::OtherRelease) {
        WriteLine(stderr, std::string("ZenoltSession: ") + name +
                              " is a session of another release; it was not stopped");
        return 1;
    }
    return 0;
}

// Returns the status of --start, having printed the assignment.
int StartInBackground(const SessionArguments& arguments) {
    SessionSettings settings = SettingsOf(arguments, true);
    std::vector<std::string> passed = {"--idle", std::to_string(arguments.idleSeconds)};
    if (arguments.serverGiven) {
        passed.push_back("--server");
        passed.push_back(AddressText(arguments.server));
    }
    std::string name, why;
    if (!StartBackgroundSession(passed, ServeInBackground, &settings, name, why)) {
        WriteLine(stderr, "ZenoltSession: cannot start a session: " + why);
        return 1;
    }
    WriteLine(stdout, ShellAssignment(arguments.shell, name));
    return 0;
}

// Returns the command's exit status, having served the session while it ran.
int RunCommandInSession(int argc, char** argv, const SessionArguments& arguments) {
    SessionEndpoint endpoint;
    std::string why;
    if (!CreateSessionEndpoint(endpoint, why) || !SetSessionVariable(endpoint.name)) {
        if (why.empty()) why = "cannot set ZENOLT_SESSION";
        RemoveSessionEndpoint(endpoint);
        WriteLine(stderr, "ZenoltSession: cannot start a session: " + why);
        return 125;
    }
    SessionCommand command;
    int status = 0;
    if (!StartSessionCommand(argc, argv, arguments.command, command, status, why)) {
        RemoveSessionEndpoint(endpoint);
        WriteLine(stderr, std::string("ZenoltSession: cannot run ") + argv[arguments.command] +
                              ": " + why);
        return status;
    }
    StartQuitHandling();
    status = ServeSession(endpoint, SettingsOf(arguments, false), &command);
    FinishQuitHandling();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareUnattendedRun();
    SessionArguments arguments = ParseSessionArguments(argc, argv);
    if (arguments.showUsage) {
        PrintSessionUsage(stdout);
        return 0;
    }
    if (arguments.showVersion) {
        PrintProgramVersion(stdout, "ZenoltSession");
        return 0;
    }
    if (arguments.badUsage) {
        ReportUsageError("ZenoltSession", arguments.error);
        return 3;
    }
    if (arguments.stop) return StopNamedSession();
    if (!ReadServerVariable(arguments)) return 3;
    if (arguments.start) return StartInBackground(arguments);
    if (!arguments.serve.empty()) {
        SessionEndpoint endpoint;
        endpoint.name = arguments.serve;
        std::string why;
        if (!CreateSessionEndpoint(endpoint, why)) return 1;
        SessionSettings settings = SettingsOf(arguments, true);
        return ServeInBackground(endpoint, &settings);
    }
    return RunCommandInSession(argc, argv, arguments);
}
