// Times how long a change of the planetarium's item takes to reach the
// standard output of a program that listens for it: from just before a poke
// that the stand-in planetarium (started with --echo-pokes) answers by
// advising its report of the command (ACK for one it runs, NAK for one it
// does not know), until the program under measurement has written that
// report where a reader sees it. The changes alternate between the two
// reports, so that one change's record is never taken for the next one's.
//
//   advise_latency CHANGES NAME "COMMAND LINE" NAME "COMMAND LINE"
//
// Both programs listen at the same time and receive every change, so each
// change is timed for both alike. Half of the changes are made with the
// first program started first, half with the second first, since the
// planetarium advises its links in turn. Prints for each program, as
// tab-separated lines:   NAME <tab> median ms <tab> 99th percentile ms
#include <windows.h>
#include <ddeml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Listener {
    std::string name;
    std::string commandLine;
    PROCESS_INFORMATION process = {};
    HANDLE output = nullptr;  // the read end of its standard output
    std::string unread;       // what it wrote that has not been matched yet
    std::vector<double> ms;
};

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Start(Listener& l) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&l.output, &write, &inherit, 1 << 20)) return false;
    SetHandleInformation(l.output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    std::vector<char> line(l.commandLine.begin(), l.commandLine.end());
    line.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &l.process);
    CloseHandle(write);
    l.unread.clear();
    return started != FALSE;
}

// Asks the program to end as Ctrl+C would, and waits for it.
void Stop(Listener& l) {
    PostThreadMessageA(l.process.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(l.process.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(l.process.hProcess, 1);
    }
    CloseHandle(l.process.hThread);
    CloseHandle(l.process.hProcess);
    CloseHandle(l.output);
}

// Takes what the program has written so far; returns whether marker is
// among it, forgetting everything up to and including it.
bool Saw(Listener& l, const std::string& marker) {
    DWORD available = 0;
    while (PeekNamedPipe(l.output, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::vector<char> chunk(available);
        DWORD got = 0;
        if (!ReadFile(l.output, chunk.data(), available, &got, nullptr)) break;
        l.unread.append(chunk.data(), got);
    }
    const std::string::size_type at = l.unread.find(marker);
    if (at == std::string::npos) return false;
    l.unread.erase(0, at + marker.size());
    return true;
}

// The commands poked and the ends of the reports that tell them apart (a
// report begins with the time, which changes only once a second).
const char kRunCommand[] = "ZOM+";
const char kRunReport[] = " ACK\r\n\r\nOK!\r\n\r\n";
const char kUnknownCommand[] = "BENCH";
const char kUnknownReport[] = " NAK\r\n\r\nFailed! Bad command name\r\n\r\n";

struct Poker {
    DWORD instance = 0;
    HSZ service = nullptr, topic = nullptr, item = nullptr;
    HCONV conversation = nullptr;
};

bool Poke(const Poker& p, const std::string& text) {
    return DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                                static_cast<DWORD>(text.size() + 1), p.conversation, p.item,
                                CF_TEXT, XTYP_POKE, 1000, nullptr) != nullptr;
}

// Pokes command and waits until every listener has written marker, the end
// of its report, up to limitMs; with times, adds each one's time to it.
// Returns false when one does not in time.
bool Change(const Poker& p, std::vector<Listener*>& listeners, const std::string& command,
            const std::string& marker, bool times, double limitMs) {
    const double start = Now();
    if (!Poke(p, command)) return false;
    std::vector<bool> seen(listeners.size(), false);
    for (std::size_t left = listeners.size(); left > 0;) {
        for (std::size_t i = 0; i < listeners.size(); ++i) {
            if (seen[i] || !Saw(*listeners[i], marker)) continue;
            if (times) listeners[i]->ms.push_back(Now() - start);
            seen[i] = true;
            --left;
        }
        if (left > 0 && Now() - start > limitMs) return false;
        if (left > 0) SwitchToThread();
    }
    return true;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const std::size_t at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: advise_latency CHANGES NAME \"COMMAND LINE\" NAME \"COMMAND LINE\"\n", stderr);
        return 2;
    }
    const int changes = std::atoi(argv[1]);
    Listener a, b;
    a.name = argv[2];
    a.commandLine = argv[3];
    b.name = argv[4];
    b.commandLine = argv[5];
    Poker p;
    DdeInitializeA(&p.instance, nullptr, APPCLASS_MONITOR, 0);
    p.service = DdeCreateStringHandleA(p.instance, "ciel", CP_WINANSI);
    p.topic = DdeCreateStringHandleA(p.instance, "DdeSkyChart", CP_WINANSI);
    p.item = DdeCreateStringHandleA(p.instance, "DdeData", CP_WINANSI);
    p.conversation = DdeConnect(p.instance, p.service, p.topic, nullptr);
    if (p.conversation == nullptr) {
        std::fputs("advise_latency: no planetarium\n", stderr);
        return 1;
    }
    int made = 0;
    for (int phase = 0; phase < 2; ++phase) {
        std::vector<Listener*> listeners = phase == 0 ? std::vector<Listener*>{&a, &b}
                                                      : std::vector<Listener*>{&b, &a};
        for (Listener* l : listeners) {
            if (!Start(*l)) {
                std::fprintf(stderr, "advise_latency: cannot start %s\n", l->commandLine.c_str());
                return 1;
            }
            // Each listens before the next starts, so the order of the links
            // is known. The warm-up reports are NAK, those of a try that
            // came late too, so the first change timed is an ACK.
            bool listening = false;
            std::vector<Listener*> one = {l};
            for (int tries = 0; tries < 50 && !listening; ++tries) {
                listening = Change(p, one, kUnknownCommand, kUnknownReport, false, 200);
            }
            if (!listening) {
                std::fprintf(stderr, "advise_latency: %s does not listen\n", l->name.c_str());
                return 1;
            }
        }
        for (int i = 0; i < changes / 2; ++i, ++made) {
            const bool run = i % 2 == 0;
            if (!Change(p, listeners, run ? kRunCommand : kUnknownCommand,
                        run ? kRunReport : kUnknownReport, true, 10000)) {
                std::fprintf(stderr, "advise_latency: change %d never arrived\n", made);
                return 1;
            }
        }
        for (Listener* l : listeners) Stop(*l);
    }
    DdeDisconnect(p.conversation);
    DdeUninitialize(p.instance);
    for (const Listener* l : {&a, &b}) {
        std::printf("%s\t%.3f\t%.3f\n", l->name.c_str(), Percentile(l->ms, 0.5),
                    Percentile(l->ms, 0.99));
    }
    return 0;
}
