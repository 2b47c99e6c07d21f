// Runs a program and prints its peak resident size, as the kernel counted it
// (ru_maxrss of the ended child), so that the benchmark needs no GNU time.
//
//   tcp_peak_memory PROGRAM [ARGUMENT]...
//
// The program's standard output goes to /dev/null (a reader that keeps up,
// as a pipe to a fast consumer would be), its standard error stays. Prints
// the peak in KiB on a line of its own; exit status 1 when the program could
// not run or did not end with status 0.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: tcp_peak_memory PROGRAM [ARGUMENT]...\n", stderr);
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        std::fprintf(stderr, "%s could not run\n", argv[1]);
        return 1;
    }
    int status = 0;
    rusage usage = {};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not end with status 0\n", argv[1]);
        return 1;
    }
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
