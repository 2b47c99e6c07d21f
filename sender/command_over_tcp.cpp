#include "command_over_tcp.h"

#include "../common/tcp_route.h"
#include "../common/text_lines.h"

// Each line is written without its own line end, then the stream's: a text
// stream turns it into the system's (CR LF on Windows).
int WriteCommandReply(std::FILE* out, std::FILE* err, TcpAnswer answer, const std::string& reply) {
    const std::string text = FromServerText(reply);
    bool first = true;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos) lf = text.size();
        std::string line = text.substr(at, lf - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = lf + 1;
        if (answer != TcpAnswer::Success) {
            WriteLine(err, line);
        } else if (!first) {
            WriteLine(out, line);
        } else if (line.compare(0, 4, "OK! ") == 0) {
            WriteLine(out, line.substr(4));
        } else if (line != "OK!") {
            WriteLine(out, line);
        }
        first = false;
    }
    return answer == TcpAnswer::Success ? 0 : 2;
}

namespace {

// A DDE attempt that pokes the command text (context) in a conversation of
// its own, as Zenolt always has.
bool PokeAttempt(void* commandText) {
    return PokeCommandText(*static_cast<const std::string*>(commandText), Unreached::Quiet);
}

}  // namespace

int SendCommandText(const std::string& commandText, const PlanetariumChoice& choice) {
    const std::string command = ToServerText(commandText);
    const char* why = WhyNotSendableOverTcp(command);
    if (why != nullptr) {
        // Only a planetarium with a DDE server can take it.
        if (DdeComesFirst(choice) && PokeCommandText(commandText, Unreached::Quiet)) return 0;
        WriteLine(stderr, std::string("Zenolt: the command cannot be sent over TCP: ") + why);
        return 2;
    }
    std::string text = commandText;
    const DdeAttempt dde = {PokeAttempt, &text};
    // Through a session when one serves: it holds a TCP planetarium's
    // conversation, so there is neither DDE nor a search to try.
    TcpRoute route;
    if (!ChooseTcpRoute(route, choice)) {
        switch (FindPlanetarium(choice, dde, route.own, "Zenolt")) {
            case ReachedBy::Dde: return 0;
            case ReachedBy::Tcp: break;
            case ReachedBy::Nothing:
            case ReachedBy::QuitAsked: return 1;
        }
    }
    std::string reply;
    const TcpAnswer answer = route.send(route, command, kSenderReplyTimeoutMs, reply);
    route.close(route);
    if (answer == TcpAnswer::Lost) {
        WriteLine(stderr, "Zenolt: the planetarium closed the connection");
        return 1;
    }
    if (answer == TcpAnswer::NoAnswer) {
        WriteLine(stderr, "Zenolt: no answer within " + std::to_string(kSenderReplyTimeoutMs) + " ms");
        return 2;
    }
    return WriteCommandReply(stdout, stderr, answer, reply);
}
