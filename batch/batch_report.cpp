#include "batch_report.h"

#include <cstring>

namespace {

const char* OutcomeWords(CommandOutcome outcome) {
    switch (outcome) {
        case CommandOutcome::Acknowledged: return "acknowledged";
        case CommandOutcome::Refused: return "refused";
        case CommandOutcome::Unanswered: return "unanswered";
        case CommandOutcome::ConversationLost: return "not sent, the conversation was lost";
        case CommandOutcome::HoldsNul: return "not sent, it holds a NUL byte";
        case CommandOutcome::TooLong: return "not sent, longer than 1022 bytes";
    }
    return "";
}

// The outcome's word in a JSON object.
const char* OutcomeName(CommandOutcome outcome) {
    switch (outcome) {
        case CommandOutcome::Acknowledged: return "acknowledged";
        case CommandOutcome::Refused: return "refused";
        case CommandOutcome::Unanswered: return "unanswered";
        case CommandOutcome::ConversationLost: return "not-sent-lost";
        case CommandOutcome::HoldsNul: return "not-sent-nul";
        case CommandOutcome::TooLong: return "not-sent-long";
    }
    return "";
}

}  // namespace

void RecordOutcome(BatchCounts& counts, std::FILE* err, unsigned long lineNumber,
                   const std::string& text, CommandOutcome outcome, const std::string* answer) {
    switch (outcome) {
        case CommandOutcome::Acknowledged: ++counts.acknowledged; ++counts.sent; return;
        case CommandOutcome::Refused: ++counts.refused; ++counts.sent; break;
        case CommandOutcome::Unanswered: ++counts.unanswered; ++counts.sent; break;
        case CommandOutcome::ConversationLost: counts.lost = true; ++counts.notSent; break;
        case CommandOutcome::HoldsNul:
        case CommandOutcome::TooLong: ++counts.notSent; break;
    }
    // One write of the whole line: standard error is unbuffered, and a line
    // written a byte at a time is slow and mixes with other writers.
    std::string report =
        "line " + std::to_string(lineNumber) + ": " + OutcomeWords(outcome) + ": ";
    for (char c : text) {
        if (c == '\0') {
            report += "\\0";
        } else {
            report += c;
        }
    }
    if (answer != nullptr) report += ": " + *answer;
    report += '\n';
    std::fwrite(report.data(), 1, report.size(), err);
    std::fflush(err);
}

void ReportLostCommands(std::FILE* err, unsigned long count, unsigned long fromLine) {
    std::fprintf(err, "not sent: %lu command line%s, from line %lu on\n", count,
                 count == 1 ? "" : "s", fromLine);
    std::fflush(err);
}

void ReportUnreadableScript(std::FILE* err, const std::string& name, int error) {
    std::fprintf(err, "ZenoltBatch: cannot read %s: %s\n", name.c_str(), std::strerror(error));
    std::fflush(err);
}

void PrintSummary(std::FILE* out, const BatchCounts& counts) {
    std::fprintf(out, "sent %lu, acknowledged %lu, refused %lu, unanswered %lu, not sent %lu\n",
                 counts.sent, counts.acknowledged, counts.refused, counts.unanswered,
                 counts.notSent);
    std::fflush(out);
}

void WriteCommandObject(std::FILE* out, unsigned long lineNumber, const std::string& text,
                        CommandOutcome outcome, const Reply* reply, const AnsiCodePage& codePage) {
    std::fprintf(out, "{\"line\":%lu,\"command\":", lineNumber);
    WriteJsonString(out, reinterpret_cast<const unsigned char*>(text.data()), text.size(), codePage);
    std::fprintf(out, ",\"outcome\":\"%s\"", OutcomeName(outcome));
    if (reply != nullptr) {
        std::fputs(",\"reply\":", out);
        WriteJsonString(out, reply->bytes, TextLength(reply->bytes, reply->count),
                        reply->utf8 ? Utf8Text() : codePage);
    }
    std::fputs("}\r\n", out);
    std::fflush(out);
}

void PrintJsonSummary(std::FILE* out, const BatchCounts& counts) {
    std::fprintf(out,
                 "{\"sent\":%lu,\"acknowledged\":%lu,\"refused\":%lu,\"unanswered\":%lu,"
                 "\"notSent\":%lu}\r\n",
                 counts.sent, counts.acknowledged, counts.refused, counts.unanswered,
                 counts.notSent);
    std::fflush(out);
}

int BatchExitStatus(const BatchCounts& counts) {
    if (!counts.reached || counts.lost) return 1;
    if (counts.readFailed) return 3;
    if (counts.refused + counts.unanswered + counts.notSent > 0) return 2;
    return 0;
}
