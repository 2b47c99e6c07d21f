// Starting Linux programs with exact argument vectors and capturing what they
// write, byte for byte, for the Linux end-to-end tests.
#ifndef ZENOLT_TESTS_LINUX_PROCESS_RUNNER_H
#define ZENOLT_TESTS_LINUX_PROCESS_RUNNER_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What to start, and with what around it.
struct ProgramLaunch {
    // The arguments exactly as the program receives them; argv[0] is also the
    // path of the program (searched for in PATH when it holds no '/').
    std::vector<std::string> argv;
    // Changes to the test's environment, in order: a variable set to a value,
    // or removed when it has none (e.g. {"HOME", dir}, {"LANG", std::nullopt}).
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    // Standard input: the file inputPath when given, else these bytes when
    // given, else /dev/null.
    std::string inputPath;
    std::optional<std::string> input;
};

struct ProgramRun {
    bool started = false;   // false: it could not be started (see failure)
    bool finished = false;  // false: still running at the time-out, then killed
    int exitCode = -1;      // its exit status; -1 when a signal ended it
    int signal = 0;         // the signal that ended it; 0 when it exited
    std::string out;        // standard output, the bytes written
    std::string err;        // standard error, likewise
    long elapsedMs = 0;
    std::string failure;    // why it did not finish by itself; empty when it did
};

// A program started by StartProgram and not yet finished.
struct RunningProgram {
    pid_t pid = -1;
    std::string scratch;  // holds the files its standard streams go to
    long long startMs = 0;
    std::string failure;  // why it could not be started; empty when it was
};

// Starts the program in a process group of its own, its standard output and
// error going to files (so that it never waits for the test to read them).
// It inherits no descriptor of the test's but its three standard streams.
RunningProgram StartProgram(const ProgramLaunch& launch);

// Waits for a started program, killing it (and its process group) when it is
// still running timeoutMs after this call, and returns what it wrote and how
// it ended.
ProgramRun FinishProgram(RunningProgram& program, long timeoutMs = 30000);

// Starts the program and waits for it, as FinishProgram.
ProgramRun RunProgram(const ProgramLaunch& launch, long timeoutMs = 30000);

// The directory holding this test program and the programs under test
// (found from /proc/self/exe), ending in '/'.
std::string ProgramDirectory();

// A new empty directory under $TMPDIR (or /tmp), ending in '/'; empty when
// none could be made.
std::string NewScratchDirectory();

// Removes a directory made by NewScratchDirectory with everything in it.
// Returns whether it is gone.
bool RemoveScratchDirectory(const std::string& directory);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
