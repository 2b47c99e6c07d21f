#include "session_arguments.h"

#include <cstring>

#include "../common/options.h"

namespace {

SessionArguments Bad(SessionArguments arguments, const std::string& error) {
    arguments.badUsage = true;
    arguments.error = error;
    return arguments;
}

}  // namespace

SessionArguments ParseSessionArguments(int argc, const char* const* argv) {
    SessionArguments arguments;
    if (argc < 2) {
        arguments.showUsage = true;
        return arguments;
    }
    bool idle = false, cmd = false, pwsh = false, serve = false;
    std::string address;
    const ProgramOption options[] = {
        {"--start", &arguments.start, nullptr, 0, 0, nullptr, nullptr},
        {"--stop", &arguments.stop, nullptr, 0, 0, nullptr, nullptr},
        {"--idle", &idle, &arguments.idleSeconds, 1, kLongestIdleSeconds, nullptr, "seconds"},
        {"--cmd", &cmd, nullptr, 0, 0, nullptr, nullptr},
        {"--pwsh", &pwsh, nullptr, 0, 0, nullptr, nullptr},
        {"--server", &arguments.serverGiven, nullptr, 0, 0, &address, nullptr},
        {"--serve", &serve, nullptr, 0, 0, &arguments.serve, nullptr},
    };
    // The usage text or the version, when asked for among the options (the
    // command's own arguments are the command's).
    const std::size_t count = sizeof options / sizeof options[0];
    const Asked asked = AskedForUsageOrVersion(argc, argv, options, count);
    arguments.showUsage = asked == Asked::Usage;
    arguments.showVersion = asked == Asked::Version;
    if (asked != Asked::Work) return arguments;
    int next = 0;
    std::string error;
    if (!ReadOptions(argc, argv, options, count, next, error)) {
        return Bad(arguments, error);
    }
    const bool withCommand = next < argc;
    // Each way to start takes its own options and no other.
    if ((arguments.start ? 1 : 0) + (arguments.stop ? 1 : 0) + (serve ? 1 : 0) > 1) {
        return Bad(arguments, "--start and --stop: one or the other");
    }
    if (arguments.stop && argc != 2) return Bad(arguments, "--stop takes nothing else");
    if (cmd && pwsh) return Bad(arguments, "--cmd and --pwsh: one or the other");
    if ((arguments.start || serve) && withCommand) {
        return Bad(arguments, std::string("--start runs no command: ") + argv[next]);
    }
    if (!arguments.start && !serve && !arguments.stop && !withCommand) {
        return Bad(arguments, "no command to run: COMMAND [ARG...], --start or --stop");
    }
    if (!arguments.start && !serve && (idle || cmd || pwsh)) {
        return Bad(arguments, "--idle, --cmd and --pwsh go with --start only");
    }
    if (serve && (cmd || pwsh || arguments.serve.empty())) {
        return Bad(arguments, "--serve NAME is this program's own");
    }
    if (arguments.serverGiven && !ParseServerAddress(address, arguments.server)) {
        return Bad(arguments, "--server " + address + ": not " + kServerAddressForm);
    }
    if (cmd) arguments.shell = SessionShell::Cmd;
    if (pwsh) arguments.shell = SessionShell::PowerShell;
    if (withCommand) arguments.command = next;
    return arguments;
}
