// Starting Windows programs with exact command lines and capturing what they
// write, byte for byte, for the end-to-end tests.
#ifndef ZENOLT_TESTS_E2E_PROCESS_RUNNER_H
#define ZENOLT_TESTS_E2E_PROCESS_RUNNER_H

#include <windows.h>

#include <string>
#include <vector>

struct ProgramRun {
    bool finished = false;  // false: still running at the time-out, then killed
    DWORD exitCode = 0;
    std::string out;  // standard output, as the bytes written to a file
    std::string err;  // standard error, likewise
    DWORD elapsedMs = 0;
    std::string failure;  // why it did not finish by itself; empty when it did
};

// A program started by StartProgram and not yet finished.
struct RunningProgram {
    PROCESS_INFORMATION process = {};
    std::string scratch;  // holds the files its standard streams go to
    DWORD startTicks = 0;
    std::string failure;  // why it could not be started; empty when it was
};

// Starts commandLine exactly as given (CreateProcessA re-quotes nothing),
// its standard streams the inheritable handles in, out and err, with the
// given process creation flags. Returns whether it started; the caller
// closes its own copies of the handles.
bool StartWithHandles(const std::string& commandLine, HANDLE in, HANDLE out, HANDLE err,
                      DWORD creationFlags, PROCESS_INFORMATION& process);

// Starts commandLine exactly as given (CreateProcessA re-quotes nothing) with
// standard output and error going to files, standard input read from the
// file inputPath (the NUL device when empty), and the given process creation
// flags. Handles it must not share are closed before it returns, so programs
// may be started one after another while earlier ones still run.
RunningProgram StartProgram(const std::string& commandLine, DWORD creationFlags = 0,
                            const std::string& inputPath = "");

// Waits for a started program (killing it after timeoutMs) and returns what
// it wrote and its exit status.
ProgramRun FinishProgram(RunningProgram& program, DWORD timeoutMs = 30000);

// Starts commandLine (standard input from inputPath, as StartProgram) and waits for it.
ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs = 30000,
                      const std::string& inputPath = "");

// The folder holding this test program and the programs under test,
// ending in a backslash.
std::string ProgramDirectory();

// A new empty folder under the temporary folder, ending in a backslash.
// Called from the test's own thread only.
std::string NewScratchDirectory();

// Removes a folder made by NewScratchDirectory (ending in a backslash) with
// everything in it. Returns whether it is gone.
bool RemoveScratchDirectory(const std::string& directory);

// The folders made by NewScratchDirectory in this process that still exist.
std::vector<std::string> ScratchDirectoriesLeft();

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
