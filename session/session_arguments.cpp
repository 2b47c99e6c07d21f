#include "session_arguments.h"

#include <cstring>

#include "../common/options.h"

SessionArguments ParseSessionArguments(int argc, const char* const* argv) {
    SessionArguments arguments;
    if (argc < 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        arguments.showUsage = true;
        return arguments;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        arguments.showVersion = true;
        return arguments;
    }
    bool idle = false, cmd = false, pwsh = false, serve = false;
    std::string address;
    const OptionSpec options[] = {
        {"--start", &arguments.start, nullptr, 0, 0, nullptr},
        {"--stop", &arguments.stop, nullptr, 0, 0, nullptr},
        {"--idle", &idle, &arguments.idleSeconds, 1, kLongestIdleSeconds, nullptr},
        {"--cmd", &cmd, nullptr, 0, 0, nullptr},
        {"--pwsh", &pwsh, nullptr, 0, 0, nullptr},
        {"--server", &arguments.serverGiven, nullptr, 0, 0, &address},
        {"--serve", &serve, nullptr, 0, 0, &arguments.serve},
    };
    int next = 0;
    const bool read = ReadOptions(argc, argv, options, sizeof options / sizeof options[0], next);
    const bool background = arguments.start || serve;
    const bool withCommand = read && next < argc;
    // Each way to start takes its own options and no other: --stop none,
    // COMMAND only --server, --serve no shell.
    const bool fits =
        read && (cmd ? 1 : 0) + (pwsh ? 1 : 0) <= 1 &&
        (arguments.start ? 1 : 0) + (arguments.stop ? 1 : 0) + (serve ? 1 : 0) <= 1 &&
        (!arguments.stop || argc == 2) && (!arguments.start || !withCommand) &&
        (!serve || (!withCommand && !cmd && !pwsh && !arguments.serve.empty())) &&
        (background || arguments.stop || (withCommand && !idle && !cmd && !pwsh)) &&
        (!arguments.serverGiven || ParseServerAddress(address, arguments.server));
    if (!fits) {
        arguments.badUsage = true;
        return arguments;
    }
    if (cmd) arguments.shell = SessionShell::Cmd;
    if (pwsh) arguments.shell = SessionShell::PowerShell;
    if (withCommand) arguments.command = next;
    return arguments;
}
