// The POSIX side of the process (Linux, macOS).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "process_platform.h"

namespace {

volatile sig_atomic_t quitRequested = 0;

void OnQuitSignal(int) { quitRequested = 1; }

}  // namespace

void PrepareUnattendedRun() { signal(SIGPIPE, SIG_IGN); }

bool ProcessCommandLine(std::string&) { return false; }

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

void FinishQuitHandling() {}

int OpenScriptFile(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }

bool RegularFileSize(int descriptor, unsigned long long& size) {
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

void CloseScriptFile(int descriptor) { close(descriptor); }
