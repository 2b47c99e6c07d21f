#include "command_text.h"

#include <cstddef>

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

void TrimTrailingWhiteSpace(std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && IsWhiteSpace(text[end - 1])) --end;
    text.resize(end);
}

std::string BuildCommandText(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        text += arguments[i];
        text += ' ';
    }
    TrimTrailingWhiteSpace(text);
    return text;
}
