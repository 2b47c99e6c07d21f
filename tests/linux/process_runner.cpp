#include "process_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

long long NowMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMs(long ms) {
    timespec wait = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

// The test's environment with the launch's changes made.
std::vector<std::string> EnvironmentOf(const ProgramLaunch& launch) {
    std::vector<std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        variables.push_back(*entry);
    }
    for (const auto& change : launch.environment) {
        const std::string prefix = change.first + "=";
        std::vector<std::string> kept;
        for (const std::string& variable : variables) {
            if (variable.compare(0, prefix.size(), prefix) != 0) kept.push_back(variable);
        }
        if (change.second) kept.push_back(prefix + *change.second);
        variables.swap(kept);
    }
    return variables;
}

// The program argv[0] names: itself when it holds a '/', else the first
// executable file of that name in the directories of PATH.
std::string ProgramPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = directories.find(':', start);
        std::string directory = directories.substr(start, end - start);
        if (directory.empty()) directory = ".";
        const std::string candidate = directory + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) return name;
        start = end + 1;
    }
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// In the child between fork and exec, where only async-signal-safe calls may
// be made: marks every descriptor above the standard streams close-on-exec,
// so that the program holds none of the test's (a socket it holds would keep
// a connection the test closed open).
void CloseOnExecAbove2(int highest) {
#if defined(SYS_close_range)
    const unsigned int closeRangeCloexec = 1U << 2;
    if (syscall(SYS_close_range, 3U, ~0U, closeRangeCloexec) == 0) return;
#endif
    for (int fd = 3; fd <= highest; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    std::string chunk(65536, '\0');
    for (;;) {
        const ssize_t got = read(fd, &chunk[0], chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        bytes.append(chunk, 0, static_cast<std::size_t>(got));
    }
    close(fd);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    return close(fd) == 0 && done == bytes.size();
}

std::string ProgramDirectory() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
        if (length < 0) return "./";
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of('/') + 1);
}

std::string NewScratchDirectory() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") +
                          "/zenolt-" + std::to_string(getpid()) + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) return "";
    return pattern + "/";
}

bool RemoveScratchDirectory(const std::string& directory) {
    if (directory.empty()) return false;
    if (DIR* listing = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = directory + name;
            struct stat info;
            if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                RemoveScratchDirectory(path + "/");
            } else {
                unlink(path.c_str());
            }
        }
        closedir(listing);
    }
    return rmdir(directory.c_str()) == 0;
}

RunningProgram StartProgram(const ProgramLaunch& launch) {
    RunningProgram program;
    if (launch.argv.empty()) {
        program.failure = "no program given";
        return program;
    }
    program.scratch = NewScratchDirectory();
    if (program.scratch.empty()) {
        program.failure = std::string("cannot make a scratch directory: ") + std::strerror(errno);
        return program;
    }
    std::string inputPath = "/dev/null";
    if (!launch.inputPath.empty()) {
        inputPath = launch.inputPath;
    } else if (launch.input) {
        inputPath = program.scratch + "stdin";
        WriteFileBytes(inputPath, *launch.input);
    }
    // Everything the child needs is made before the fork.
    const int in = open(inputPath.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open((program.scratch + "stdout").c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open((program.scratch + "stderr").c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int execFailed[2] = {-1, -1};
    if (in < 0 || out < 0 || err < 0 || pipe2(execFailed, O_CLOEXEC) != 0) {
        program.failure = "cannot open " + inputPath + " or the output files: " +
                          std::strerror(errno);
        for (int fd : {in, out, err, execFailed[0], execFailed[1]}) {
            if (fd >= 0) close(fd);
        }
        return program;
    }
    std::vector<std::string> arguments = launch.argv;
    std::vector<std::string> variables = EnvironmentOf(launch);
    std::vector<char*> argv = PointersTo(arguments);
    std::vector<char*> envp = PointersTo(variables);
    const std::string path = ProgramPath(launch.argv[0]);
    rlimit limit = {};
    const int highest = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                            ? static_cast<int>(limit.rlim_cur)
                            : 65536;

    program.startMs = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        // dup2 clears close-on-exec on the copies, which are the standard streams.
        if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
            const int error = errno;
            WriteAll(execFailed[1], &error, sizeof error);
            _exit(127);
        }
        CloseOnExecAbove2(highest);
        execve(path.c_str(), argv.data(), envp.data());
        const int error = errno;
        WriteAll(execFailed[1], &error, sizeof error);
        _exit(127);
    }
    close(in);
    close(out);
    close(err);
    close(execFailed[1]);
    if (pid < 0) {
        program.failure = std::string("fork failed: ") + std::strerror(errno);
        close(execFailed[0]);
        return program;
    }
    // Also set here, so that the group exists whichever of the two runs first.
    setpgid(pid, pid);
    program.pid = pid;
    int error = 0;
    ssize_t got;
    while ((got = read(execFailed[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(execFailed[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        program.failure = "cannot start " + launch.argv[0] + ": " + std::strerror(error);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        program.pid = -1;
    }
    return program;
}

ProgramRun FinishProgram(RunningProgram& program, long timeoutMs) {
    ProgramRun run;
    if (!program.failure.empty() || program.pid < 0) {
        run.failure = program.failure.empty() ? "not started" : program.failure;
        run.err = run.failure;
        if (!program.scratch.empty()) RemoveScratchDirectory(program.scratch);
        program = RunningProgram{};
        return run;
    }
    run.started = true;
    const long long waitStart = NowMs();
    int status = 0;
    bool known = true;
    for (;;) {
        const pid_t done = waitpid(program.pid, &status, WNOHANG);
        if (done == program.pid) {
            run.finished = true;
            break;
        }
        if (done < 0 && errno != EINTR) {
            // Reaped elsewhere: how it ended cannot be known.
            known = false;
            run.failure = std::string("lost the program: ") + std::strerror(errno);
            break;
        }
        if (NowMs() - waitStart >= timeoutMs) {
            run.failure = "it was still running after " + std::to_string(timeoutMs) + " ms";
            kill(-program.pid, SIGKILL);
            kill(program.pid, SIGKILL);
            while (waitpid(program.pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        SleepMs(1);
    }
    run.elapsedMs = static_cast<long>(NowMs() - program.startMs);
    if (known && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else if (known && WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
    }
    run.out = ReadFileBytes(program.scratch + "stdout");
    run.err = ReadFileBytes(program.scratch + "stderr");
    RemoveScratchDirectory(program.scratch);
    program = RunningProgram{};
    return run;
}

ProgramRun RunProgram(const ProgramLaunch& launch, long timeoutMs) {
    RunningProgram program = StartProgram(launch);
    return FinishProgram(program, timeoutMs);
}
