// The programs turn off the system's critical-error and file-not-found
// message boxes: seen from inside the running program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "planetarium_test.h"

namespace {

// Reads the system error mode of a running process from inside it: a thread
// started there at GetErrorMode ends with the mode as its exit code. kernel32
// lies at the same address in every process of one architecture, so its
// address here is its address there. Returns whether the mode was read.
bool ReadErrorMode(HANDLE process, UINT& mode) {
    const FARPROC getErrorMode = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetErrorMode");
    if (getErrorMode == nullptr) return false;
    HANDLE thread = CreateRemoteThread(
        process, nullptr, 0,
        reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(getErrorMode)), nullptr,
        0, nullptr);
    if (thread == nullptr) return false;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
                       GetExitCodeThread(thread, &code) && code != STILL_ACTIVE;
    CloseHandle(thread);
    mode = code;
    return ended;
}

// Waits until the stand-in has logged a transaction, up to timeoutMs.
bool WaitForTransaction(const StandIn& standIn, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (LoggedTransactions(standIn).empty()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

class ErrorMode : public PlanetariumTest {};

TEST_F(ErrorMode, EveryProgramTurnsOffTheMessageBoxes) {
    const UINT kNoMessageBoxes = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    const std::string script = NewTestDirectory() + "script.txt";
    WriteFileBytes(script, "ZOM+\n");
    const struct {
        const char* program;
        std::string tail;
        const char* holdOption;  // keeps the program waiting in its transaction
        DWORD exitCode;
        const char* err;
    } cases[] = {
        {"Zenolt.exe", " ZOM+", "--hold-poke 15000", 0, ""},  // for the poke's 1000 ms
        {"ZenoltDump.exe", "", "--hold-request 3000", 0, ""},
        {"ZenoltBatch.exe", " \"" + script + "\"", "--hold-poke 15000", 2,
         "line 1: unanswered: ZOM+\r\n"},
        {"ZenoltWatch.exe", " --now --count 1", "--hold-request 3000", 0, ""},
    };
    for (const auto& c : cases) {
        StartPlanetarium(c.holdOption);
        // With the system's default error mode, not this test program's,
        // which a child would otherwise inherit on Windows.
        RunningProgram program =
            StartProgram(QuotedProgram(c.program) + c.tail, CREATE_DEFAULT_ERROR_MODE);
        // Once its transaction is logged, the program waits in it, its
        // error mode long set.
        const bool waiting = WaitForTransaction(standIn, 10000);
        UINT mode = 0;
        const bool read = waiting && ReadErrorMode(program.process.hProcess, mode);
        const ProgramRun run = FinishProgram(program);
        ASSERT_TRUE(waiting) << c.program << " never reached its transaction";
        ASSERT_TRUE(read) << c.program << ": its error mode could not be read";
        EXPECT_EQ(mode & kNoMessageBoxes, kNoMessageBoxes) << c.program;
        EXPECT_TRUE(Finished(run)) << c.program;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.program;
        EXPECT_EQ(run.err, c.err) << c.program;
        StopStandIn(standIn);
    }
}

}  // namespace
