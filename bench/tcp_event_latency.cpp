// Times the way of an event from the planetarium to a reader: from a SEARCH
// sent by this program over its own connection to the record of the event it
// causes appearing on the standard output (a pipe this program reads) of each
// of two watchers listening at once, so that every event is timed for both
// and a moment the planetarium is slow falls on both alike.
//
//   tcp_event_latency [--samples FILE] PORT EVENTS NAME_A NAME_B
//       -- KIND NAME PROGRAM [ARGUMENT]... -- KIND NAME PROGRAM [ARGUMENT]...
//
// KIND says how the watcher writes a record: "record" (a header line ending
// "<n> bytes" CR LF, n bytes, CR LF: ZenoltWatch's) or "line" (one line ended
// by CR LF). The searches alternate between NAME_A and NAME_B, so that each
// one identifies an object anew. The planetarium may send more than one event
// line for a search: it sends them to every client alike, and this program's
// own connection counts them (they come before the SEARCH's reply), so each
// watcher is awaited for as many before the next search; the time taken is
// that of the first. Half the events are timed with the first watcher
// connected first, half with the second first (the planetarium writes to its
// clients one after the other). Before each half, searches not timed make sure
// both watchers are connected.
// Prints, for each watcher: NAME <tab> median ms <tab> 99th percentile ms
// <tab> fastest ms; then "ratio" <tab> the median of the per-event ratios of
// the first watcher's time to the second's. With --samples, every event as
// EVENT <tab> NAME <tab> ms. Watchers are ended by SIGINT. Exit status 1
// when a search fails, an event does not come within 30 s, or a watcher ends
// early or badly (its standard error is in $TMPDIR/zenolt-bench-watcher-*).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return 1000.0 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Watcher {
    bool headerRecords = false;  // "record" kind
    std::string name;
    std::vector<char*> argv;  // ends with a null pointer
    pid_t pid = -1;
    int out = -1;           // read end of its standard output
    std::string pending;    // bytes read and not yet taken as records
    long records = 0;       // records seen since it started
    double lastRecord = 0;  // when the last one was complete
    std::vector<double> ms;
};

std::string stderrPath;

bool Start(Watcher& w) {
    int ends[2];
    if (pipe(ends) != 0) return false;
    const int errors = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors, 2);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addclose(&actions, ends[1]);
    posix_spawn_file_actions_addclose(&actions, errors);
    const int failed = posix_spawn(&w.pid, w.argv[0], &actions, nullptr, w.argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    close(errors);
    if (failed != 0) {
        close(ends[0]);
        return false;
    }
    w.out = ends[0];
    w.pending.clear();
    w.records = 0;
    return true;
}

// Ends the watcher as a user would (Ctrl+C); true when it ended with status 0.
// One that has not ended 10 s later is killed, and fails.
bool Stop(Watcher& w) {
    kill(w.pid, SIGINT);
    int status = 0;
    pid_t ended = 0;
    for (int tenth = 0; tenth < 100 && (ended = waitpid(w.pid, &status, WNOHANG)) == 0; ++tenth) usleep(100000);
    if (ended != w.pid) {
        std::fprintf(stderr, "%s did not end within 10 s of SIGINT\n", w.name.c_str());
        kill(w.pid, SIGKILL);
        waitpid(w.pid, &status, 0);
        status = -1;
    }
    close(w.out);
    w.pid = -1;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Takes the whole records out of what was read; false when the output is
// not what the kind says.
bool TakeRecords(Watcher& w, double at) {
    for (;;) {
        const std::size_t end = w.pending.find("\r\n");
        if (end == std::string::npos) return true;
        std::size_t size = end + 2;
        if (w.headerRecords) {
            // "<time> <n> bytes": n is the word before the last.
            const std::size_t bytesWord = w.pending.rfind(" bytes", end);
            const std::size_t number = w.pending.rfind(' ', bytesWord - 1);
            if (bytesWord == std::string::npos || bytesWord + 6 != end || number == std::string::npos) {
                std::fprintf(stderr, "%s: not a record header: %s\n", w.name.c_str(),
                             w.pending.substr(0, end).c_str());
                return false;
            }
            size += std::strtoul(w.pending.c_str() + number + 1, nullptr, 10) + 2;
            if (w.pending.size() < size) return true;
        }
        w.pending.erase(0, size);
        ++w.records;
        w.lastRecord = at;
    }
}

int server = -1;
std::string received;  // from the own connection, not yet taken as lines
bool draining = false;  // a wait that is meant to run out

bool Send(const std::string& text) {
    return send(server, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Waits until the own connection has a whole line or every watcher has
// reached its target count (whichever is asked), reading the watchers' output
// meanwhile so that each record's time is taken as it comes. firstAfter[i]
// gets the time of the first record of watcher i beyond count before[i].
// Returns false on a watcher's failure or after 30 s.
bool Pump(std::vector<Watcher>& watchers, bool wantLine, std::string* line, const std::vector<long>& target,
          const std::vector<long>& before, std::vector<double>& firstAfter, double deadline) {
    for (;;) {
        if (wantLine) {
            const std::size_t end = received.find("\r\n");
            if (end != std::string::npos) {
                line->assign(received, 0, end);
                received.erase(0, end + 2);
                return true;
            }
        } else {
            bool all = true;
            for (std::size_t i = 0; i < watchers.size(); ++i) all = all && watchers[i].records >= target[i];
            if (all) return true;
        }
        const double left = deadline - Now();
        if (left <= 0) {
            if (!draining) std::fputs("no event within 30 s\n", stderr);
            return false;
        }
        pollfd fds[3];
        const nfds_t count = static_cast<nfds_t>(watchers.size() + 1);
        for (std::size_t i = 0; i < watchers.size(); ++i) fds[i] = {watchers[i].out, POLLIN, 0};
        fds[watchers.size()] = {server, POLLIN, 0};
        if (poll(fds, count, static_cast<int>(left) + 1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const double at = Now();
        char chunk[65536];
        for (std::size_t i = 0; i < watchers.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t got = read(watchers[i].out, chunk, sizeof chunk);
            if (got <= 0) {
                std::fprintf(stderr, "%s ended early\n", watchers[i].name.c_str());
                return false;
            }
            watchers[i].pending.append(chunk, static_cast<std::size_t>(got));
            const long had = watchers[i].records;
            if (!TakeRecords(watchers[i], at)) return false;
            if (had <= before[i] && watchers[i].records > before[i] && firstAfter[i] < 0) firstAfter[i] = at;
        }
        if (fds[watchers.size()].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = recv(server, chunk, sizeof chunk, 0);
            if (got <= 0) {
                std::fputs("the planetarium closed the connection\n", stderr);
                return false;
            }
            received.append(chunk, static_cast<std::size_t>(got));
        }
    }
}

// Takes whatever the watchers write for ms milliseconds.
void Drain(std::vector<Watcher>& watchers, double ms) {
    std::vector<long> never;
    for (const Watcher& w : watchers) never.push_back(w.records + 1000000000L);
    std::vector<double> ignored(watchers.size(), -1);
    draining = true;
    Pump(watchers, false, nullptr, never, never, ignored, Now() + ms);
    draining = false;
}

// One SEARCH, its reply and its events on every watcher running. sent gets
// when it was sent, firstAfter when each running watcher had the first record.
bool Search(std::vector<Watcher>& watchers, const std::string& name, double& sent, std::vector<double>& firstAfter,
            long& eventsOnOwn) {
    std::vector<long> before;
    for (const Watcher& w : watchers) before.push_back(w.records);
    firstAfter.assign(watchers.size(), -1);
    const double deadline = Now() + 30000;
    sent = Now();
    if (!Send("SEARCH " + name + "\r\n")) return false;
    std::string line;
    eventsOnOwn = 0;
    for (;;) {
        if (!Pump(watchers, true, &line, before, before, firstAfter, deadline)) return false;
        if (line.size() >= 2 && line[0] == '>' && line[1] == '\t') {
            ++eventsOnOwn;
        } else if (line != ".") {
            break;
        }
    }
    if (line.compare(0, 3, "OK!") != 0) {
        std::fprintf(stderr, "SEARCH %s: %s\n", name.c_str(), line.c_str());
        return false;
    }
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The nearest-rank 99th percentile.
double Percentile99(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(v.size())));
    return v[rank == 0 ? 0 : rank - 1];
}

}  // namespace

int main(int argc, char** argv) {
    const char* samplesPath = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--samples") == 0) {
        samplesPath = argv[2];
        argc -= 2;
        argv += 2;
    }
    std::vector<Watcher> watchers;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 && i + 3 < argc) {
            Watcher w;
            w.headerRecords = std::strcmp(argv[i + 1], "record") == 0;
            w.name = argv[i + 2];
            watchers.push_back(w);
            i += 2;
        } else if (!watchers.empty()) {
            watchers.back().argv.push_back(argv[i]);
        }
    }
    const long events = argc > 2 ? std::atol(argv[2]) : 0;
    if (argc < 5 || events < 2 || watchers.size() != 2 || watchers[0].argv.empty() || watchers[1].argv.empty()) {
        std::fputs("usage: tcp_event_latency [--samples FILE] PORT EVENTS NAME_A NAME_B"
                   " -- KIND NAME PROGRAM [ARGUMENT]... -- KIND NAME PROGRAM [ARGUMENT]...\n",
                   stderr);
        return 2;
    }
    for (Watcher& w : watchers) w.argv.push_back(nullptr);
    const std::string names[2] = {argv[3], argv[4]};
    signal(SIGPIPE, SIG_IGN);
    const char* temp = std::getenv("TMPDIR");
    stderrPath = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/zenolt-bench-watcher-" +
                 std::to_string(getpid());

    server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 1;
    }
    std::vector<Watcher> none;
    std::vector<long> noCounts;
    std::vector<double> noTimes;
    std::string line;
    if (!Pump(none, true, &line, noCounts, noCounts, noTimes, Now() + 30000) || line.compare(0, 3, "OK!") != 0) {
        std::fputs("no greeting\n", stderr);
        return 1;
    }

    std::FILE* samples = samplesPath != nullptr ? std::fopen(samplesPath, "w") : nullptr;
    std::vector<double> ratios;
    long searchNumber = 0;
    long timed = 0;
    long extraEvents = 0;  // events beyond one a search, for the report
    for (int half = 0; half < 2; ++half) {
        // The watchers, started one after the other, each seen to receive
        // events before the next starts, so the order of their connections is known.
        std::vector<Watcher> running;
        const std::size_t order[2] = {half == 0 ? 0u : 1u, half == 0 ? 1u : 0u};
        for (std::size_t k : order) {
            if (!Start(watchers[k])) {
                std::fprintf(stderr, "%s could not start\n", watchers[k].name.c_str());
                return 1;
            }
            running.push_back(watchers[k]);
            // The real planetarium sends an event to a client that connected while
            // the SEARCH ran before it greets it; a watcher that takes the first
            // line for the greeting then gives up. So no search until it is greeted.
            usleep(500000);
            bool seen = false;
            for (int attempt = 0; attempt < 50 && !seen; ++attempt) {
                double sent = 0;
                std::vector<double> first;
                long onOwn = 0;
                if (!Search(running, names[searchNumber++ % 2], sent, first, onOwn)) return 1;
                // A watcher that has just connected may miss an event the others get,
                // so wait only a moment for it.
                const double until = Now() + 300;
                while (Now() < until && !seen) {
                    Drain(running, 20);
                    seen = running.back().records > 0;
                }
            }
            if (!seen) {
                std::fprintf(stderr, "%s received no event\n", watchers[k].name.c_str());
                return 1;
            }
        }
        // Whatever the warm-up left on the way is taken before timing.
        Drain(running, 250);
        std::vector<long> expected;
        for (const Watcher& w : running) expected.push_back(w.records);
        const long share = half == 0 ? events / 2 : events - events / 2;
        for (long e = 0; e < share; ++e) {
            double sent = 0;
            std::vector<double> first;
            long onOwn = 0;
            if (!Search(running, names[searchNumber++ % 2], sent, first, onOwn)) return 1;
            if (onOwn < 1) {
                std::fprintf(stderr, "SEARCH %s sent no event line\n", names[(searchNumber - 1) % 2].c_str());
                return 1;
            }
            extraEvents += onOwn - 1;
            std::vector<long> before(expected);
            for (long& x : expected) x += onOwn;
            if (!Pump(running, false, nullptr, expected, before, first, Now() + 30000)) return 1;
            ++timed;
            double of[2] = {0, 0};
            for (std::size_t i = 0; i < running.size(); ++i) {
                const std::size_t k = order[i];
                of[k] = first[i] - sent;
                watchers[k].ms.push_back(of[k]);
                if (samples != nullptr) std::fprintf(samples, "%ld\t%s\t%.3f\n", timed, watchers[k].name.c_str(), of[k]);
            }
            ratios.push_back(of[0] / of[1]);
        }
        for (std::size_t i = 0; i < running.size(); ++i) {
            if (!Stop(running[i])) {
                std::fprintf(stderr, "%s did not end well (see %s)\n", running[i].name.c_str(), stderrPath.c_str());
                return 1;
            }
        }
    }
    if (samples != nullptr) std::fclose(samples);
    Send("QUIT\r\n");
    std::string bye;
    while (Pump(none, true, &bye, noCounts, noCounts, noTimes, Now() + 5000) && bye != "Bye!") {
    }
    close(server);
    for (const Watcher& w : watchers) {
        std::printf("%s\t%.3f\t%.3f\t%.3f\n", w.name.c_str(), Median(w.ms), Percentile99(w.ms),
                    *std::min_element(w.ms.begin(), w.ms.end()));
    }
    std::printf("ratio\t%.4f\n", Median(ratios));
    std::printf("extra\t%ld\n", extraEvents);
    unlink(stderrPath.c_str());
    return 0;
}
