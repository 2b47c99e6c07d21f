// Times whole program runs on Linux, interleaving the commands round by round
// so that a busy moment of the machine (or of the planetarium) falls on all
// of them alike, every other round in the other order.
//
//   tcp_timer [--samples FILE] ROUNDS -- NAME PROGRAM [ARGUMENT]... [-- NAME PROGRAM [ARGUMENT]...]...
//
// Each command is given as its own words (no shell, no splitting: the time
// of a shell would be paid by program and floor alike and blur their ratio).
// Prints, for each command, the median and the fastest wall time as
// tab-separated lines:   NAME <tab> median ms <tab> min ms
// With --samples, every timed run is also written to FILE as a line
// ROUND <tab> NAME <tab> ms, in the order they ran, for a closer look at a
// peer whose speed wanders.
// Standard output and error of the runs go to a file, as when a script
// captures them; standard input is /dev/null. A run that cannot start or
// ends with a status other than 0 stops the timing (exit status 1): a
// conversation that failed is no measurement.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Measured {
    std::string name;
    std::vector<char*> argv;  // ends with a null pointer
    std::vector<double> ms;
};

std::string outputPath;

// Starts the command and waits for it; returns its exit status, or -1 when it
// cannot start or does not end normally.
int RunCommand(const Measured& m) {
    const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawn_file_actions_addclose(&actions, output);
    pid_t child = 0;
    const int failed = posix_spawn(&child, m.argv[0], &actions, nullptr, m.argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output);
    if (failed != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return 1000.0 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e6;
}

bool RunOnce(Measured& m) {
    const double start = Now();
    const int status = RunCommand(m);
    const double end = Now();
    if (status != 0) {
        std::fprintf(stderr, "%s: %s (see %s)\n", m.name.c_str(),
                     status < 0 ? "could not run" : ("exit status " + std::to_string(status)).c_str(),
                     outputPath.c_str());
        return false;
    }
    m.ms.push_back(end - start);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* samplesPath = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--samples") == 0) {
        samplesPath = argv[2];
        argc -= 2;
        argv += 2;
    }
    std::vector<Measured> measured;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            if (i + 2 >= argc) break;  // a name and a program are needed
            measured.push_back({argv[i + 1], {}, {}});
            i += 1;
        } else if (!measured.empty()) {
            measured.back().argv.push_back(argv[i]);
        }
    }
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 0;
    bool usable = rounds > 0 && !measured.empty();
    for (Measured& m : measured) {
        usable = usable && !m.argv.empty();
        m.argv.push_back(nullptr);
    }
    if (!usable) {
        std::fputs("usage: tcp_timer [--samples FILE] ROUNDS -- NAME PROGRAM [ARGUMENT]... [-- NAME PROGRAM [ARGUMENT]...]...\n",
                   stderr);
        return 2;
    }
    const char* temp = std::getenv("TMPDIR");
    outputPath = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/zenolt-bench-output-" +
                 std::to_string(getpid());
    for (Measured& m : measured) {  // warm-up, not counted
        if (!RunOnce(m)) return 1;
    }
    for (Measured& m : measured) m.ms.clear();
    std::FILE* samples = samplesPath != nullptr ? std::fopen(samplesPath, "w") : nullptr;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < measured.size(); ++i) {
            Measured& m = measured[round % 2 == 0 ? i : measured.size() - 1 - i];
            if (!RunOnce(m)) return 1;
            if (samples != nullptr) std::fprintf(samples, "%d\t%s\t%.3f\n", round + 1, m.name.c_str(), m.ms.back());
        }
    }
    if (samples != nullptr) std::fclose(samples);
    for (const Measured& m : measured) {
        std::printf("%s\t%.3f\t%.3f\n", m.name.c_str(), Median(m.ms),
                    *std::min_element(m.ms.begin(), m.ms.end()));
    }
    unlink(outputPath.c_str());
    return 0;
}
