#include "planetarium_state.h"

#include <cstdio>

namespace {

// Returns the first line of a success's reply without "OK! " (or "OK!")
// before it; empty for a refusal.
std::string ValueOf(const std::string& reply) {
    std::string line = FirstReplyLine(reply);
    if (IsRefusal(line.data(), line.size())) return "";
    if (line.compare(0, 4, "OK! ") == 0) return line.substr(4);
    if (line == "OK!") return "";
    return line;
}

// Returns the observatory with one blank before LON:, ALT: and OBS:, each
// looked for after the one before it, so that the name after OBS: stays as
// it is whatever it holds.
std::string SpacedObservatory(const std::string& observatory) {
    std::string spaced = observatory;
    std::size_t from = 0;
    for (const char* field : {"LON:", "ALT:", "OBS:"}) {
        const std::size_t at = spaced.find(field, from);
        if (at == std::string::npos) break;
        from = at + 4;
        if (at > 0 && spaced[at - 1] != ' ') {
            spaced.insert(at, 1, ' ');
            ++from;
        }
    }
    return spaced;
}

TcpAnswer SendInLink(void* link, const std::string& command, unsigned long answerMs,
                     std::string& reply) {
    return SendTcpCommand(*static_cast<TcpLink*>(link), command, answerMs, reply);
}

}  // namespace

std::string LayOutState(const RecordTime& asked, const StateAnswers& answers) {
    char time[32];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", asked.year, asked.month,
                  asked.day, asked.hour, asked.minute, asked.second);
    std::string selected = FirstReplyLine(answers.selected);
    if (selected.compare(0, 4, "OK! ") == 0) {
        selected.erase(0, 4);
    } else {
        selected.clear();
    }
    return std::string(time) + "\r\n" + "RA: " + ValueOf(answers.ra) + " DEC:" +
           ValueOf(answers.dec) + " FOV:" + ValueOf(answers.fov) + "\r\n" + selected + "\r\n" +
           ValueOf(answers.date) + "\r\n" + SpacedObservatory(ValueOf(answers.observatory)) +
           "\r\n";
}

bool AskPlanetariumState(TcpLink& link, const RecordTime& asked, unsigned long answerMs,
                         std::string& state) {
    return AskStateWith(SendInLink, &link, asked, answerMs, state);
}

bool AskStateWith(StateQuestion ask, void* conversation, const RecordTime& asked,
                  unsigned long answerMs, std::string& state) {
    StateAnswers answers;
    const struct {
        const char* command;
        std::string* answer;
    } questions[] = {
        {"GETRA", &answers.ra},         {"GETDEC", &answers.dec},
        {"GETFOV", &answers.fov},       {"GETSELECTEDOBJECT", &answers.selected},
        {"GETDATE", &answers.date},     {"GETOBS", &answers.observatory},
    };
    for (const auto& question : questions) {
        const TcpAnswer answer = ask(conversation, question.command, answerMs, *question.answer);
        if (answer == TcpAnswer::Lost) return false;
        // A refusal's reply stays, for LayOutState to tell it from a value.
        if (answer == TcpAnswer::NoAnswer) break;
    }
    state = LayOutState(asked, answers);
    return true;
}
