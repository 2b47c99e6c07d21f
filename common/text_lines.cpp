#include "text_lines.h"

void WriteLines(std::FILE* out, const char* const* lines, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::fputs(lines[i], out);
        std::fputc('\n', out);
        std::fflush(out);
    }
}

void WriteLine(std::FILE* out, const std::string& text) {
    const std::string line = text + '\n';
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

void WriteUsageLines(std::FILE* out, const UsageLine* lines, std::size_t count, bool hasDde) {
    for (std::size_t i = 0; i < count; ++i) {
        if (lines[i].where == LineFor::DdeSystem && !hasDde) continue;
        if (lines[i].where == LineFor::OtherSystem && hasDde) continue;
        WriteLines(out, &lines[i].text, 1);
    }
}
