// The POSIX side of the process (Linux, macOS).
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "process_platform.h"

namespace {

volatile sig_atomic_t quitRequested = 0;

void OnQuitSignal(int) { quitRequested = 1; }

}  // namespace

void PrepareUnattendedRun() { signal(SIGPIPE, SIG_IGN); }

bool ProcessCommandLine(std::string&) { return false; }

bool SystemHasDde() { return false; }

bool IsAnsiLeadByte(unsigned char) { return false; }

void SetBinaryStream(std::FILE*) {}

void SetTextStream(std::FILE*) {}

bool StreamIsConsole(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

// Without SA_RESTART, so that a wait in progress ends at once.
void StartQuitHandling() {
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool QuitRequested() { return quitRequested != 0; }

// A signal ends the sleep early (the handler is installed without
// SA_RESTART); any other wake-up sleeps on for what is left.
bool PauseUnlessQuit(unsigned long ms) {
    timespec left = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (quitRequested == 0 && nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return quitRequested == 0;
}

void FinishQuitHandling() {}

int OpenScriptFile(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }

bool RegularFileSize(int descriptor, unsigned long long& size) {
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

void CloseScriptFile(int descriptor) { close(descriptor); }
