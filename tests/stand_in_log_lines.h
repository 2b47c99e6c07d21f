// Reading the stand-in planetarium's log lines, the same on Windows and
// Linux: the exact bytes it logs in hex, and the commands of its TCP mode.
#ifndef ZENOLT_TESTS_STAND_IN_LOG_LINES_H
#define ZENOLT_TESTS_STAND_IN_LOG_LINES_H

#include <cstdlib>
#include <string>
#include <vector>

// One command line as the stand-in logged it.
struct LoggedCommand {
    unsigned long client = 0;  // the connection, 1, 2, 3 ... in the order they came
    std::string bytes;         // the line's exact bytes, without its CR LF
};

// Returns the bytes that hex (upper-case digits, two a byte) stands for.
inline std::string FromHex(const std::string& hex) {
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    }
    return bytes;
}

// Returns the commands among the log's lines ("COMMAND client=<k> hex=<bytes> ..."), in order.
inline std::vector<LoggedCommand> CommandsInLog(const std::vector<std::string>& lines) {
    std::vector<LoggedCommand> commands;
    const std::string start = "COMMAND client=";
    for (const std::string& line : lines) {
        if (line.compare(0, start.size(), start) != 0) continue;
        const std::string::size_type hex = line.find(" hex=");
        if (hex == std::string::npos) continue;
        const std::string::size_type end = line.find(' ', hex + 5);
        const std::string::size_type length = end == std::string::npos ? end : end - hex - 5;
        LoggedCommand command;
        command.client = std::strtoul(line.c_str() + start.size(), nullptr, 10);
        command.bytes = FromHex(line.substr(hex + 5, length));
        commands.push_back(command);
    }
    return commands;
}

#endif
