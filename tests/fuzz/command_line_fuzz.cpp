// Fuzzes command-line splitting and the command text built from it.
//
// The first input byte chooses whether the ANSI code page has double-byte
// lead bytes; the rest is the raw command line. Besides what the sanitizers
// catch, it checks that the text never ends in white space, that splitting
// never invents bytes, and (without lead bytes) that quoting each argument
// by the splitting rules and splitting again gives the same arguments back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "command_text.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }

bool ShiftJisLeadBytes(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Returns argument quoted so that splitting gives it back unchanged: inside
// quotes, backslashes are doubled before a quote and before the closing
// quote, and each quote is escaped.
std::string Quoted(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(2 * backslashes + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool leadBytes = (data[0] & 1) != 0;
    const std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<std::string> arguments =
        SplitCommandLine(line, leadBytes ? ShiftJisLeadBytes : NoLeadBytes);
    Check(!arguments.empty());

    std::size_t copied = 0;
    for (const std::string& argument : arguments) copied += argument.size();
    Check(copied <= line.size());

    const std::string text = BuildCommandText(arguments);
    Check(text.empty() || !IsWhiteSpace(text.back()));

    if (!leadBytes) {
        std::string rebuilt = "Zenolt";
        for (std::size_t i = 1; i < arguments.size(); ++i) rebuilt += " " + Quoted(arguments[i]);
        std::vector<std::string> again = SplitCommandLine(rebuilt, NoLeadBytes);
        again[0] = arguments[0];
        Check(again == arguments);
    }
    return 0;
}
