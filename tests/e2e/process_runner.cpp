#include "process_runner.h"

#include <vector>

namespace {

HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ProgramDirectory() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::string directory(path.data());
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

namespace {

// Every folder NewScratchDirectory has made in this process.
std::vector<std::string> scratchDirectoriesMade;

}  // namespace

std::string NewScratchDirectory() {
    static LONG counter = 0;
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    for (;;) {
        const std::string directory = std::string(temp) + "zenolt-" +
                                      std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(InterlockedIncrement(&counter)) + "\\";
        if (CreateDirectoryA(directory.c_str(), nullptr)) {
            scratchDirectoriesMade.push_back(directory);
            return directory;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return directory;
    }
}

bool RemoveScratchDirectory(const std::string& directory) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveScratchDirectory(directory + name + "\\");
            } else {
                DeleteFileA((directory + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(directory.c_str()) != 0;
}

std::vector<std::string> ScratchDirectoriesLeft() {
    std::vector<std::string> left;
    for (const std::string& directory : scratchDirectoriesMade) {
        if (GetFileAttributesA(directory.c_str()) != INVALID_FILE_ATTRIBUTES) {
            left.push_back(directory);
        }
    }
    return left;
}

bool StartWithHandles(const std::string& commandLine, HANDLE in, HANDLE out, HANDLE err,
                      DWORD creationFlags, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                          nullptr, &startup, &process) != FALSE;
}

RunningProgram StartProgram(const std::string& commandLine, DWORD creationFlags,
                            const std::string& inputPath) {
    RunningProgram program;
    program.scratch = NewScratchDirectory();
    HANDLE in = OpenInheritable(inputPath.empty() ? "NUL" : inputPath, GENERIC_READ, OPEN_EXISTING);
    HANDLE out = OpenInheritable(program.scratch + "stdout", GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = OpenInheritable(program.scratch + "stderr", GENERIC_WRITE, CREATE_ALWAYS);
    program.startTicks = GetTickCount();
    if (!StartWithHandles(commandLine, in, out, err, creationFlags, program.process)) {
        program.failure = "CreateProcessA failed: " + std::to_string(GetLastError());
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    return program;
}

ProgramRun FinishProgram(RunningProgram& program, DWORD timeoutMs) {
    ProgramRun run;
    if (!program.failure.empty()) {
        // A process that died while it was being set up may have said why
        // (Wine's loader writes to the standard error it was given).
        run.failure = "it could not be started: " + program.failure;
        run.err = ReadFileBytes(program.scratch + "stderr");
        RemoveScratchDirectory(program.scratch);
        return run;
    }
    run.finished = WaitForSingleObject(program.process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    run.elapsedMs = GetTickCount() - program.startTicks;
    if (!run.finished) {
        run.failure = "it was still running after " + std::to_string(timeoutMs) + " ms";
        TerminateProcess(program.process.hProcess, 255);
        WaitForSingleObject(program.process.hProcess, INFINITE);
    }
    GetExitCodeProcess(program.process.hProcess, &run.exitCode);
    CloseHandle(program.process.hThread);
    CloseHandle(program.process.hProcess);
    program.process = PROCESS_INFORMATION{};
    const std::string outPath = program.scratch + "stdout", errPath = program.scratch + "stderr";
    run.out = ReadFileBytes(outPath);
    run.err = ReadFileBytes(errPath);
    RemoveScratchDirectory(program.scratch);
    return run;
}

ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs,
                      const std::string& inputPath) {
    RunningProgram program = StartProgram(commandLine, 0, inputPath);
    return FinishProgram(program, timeoutMs);
}
