// ZenoltWatch: prints each new value of the running planetarium's "DdeData"
// item as it comes, one record per value, until it is stopped.
//
// Exit status: 0 ended by --count or by Ctrl+C, Ctrl+Break or closing the
// console; 1 the planetarium could not be reached, or the conversation was
// lost; 2 --timeout ran out; 3 bad usage.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstddef>
#include <cstdio>

#include "watch_arguments.h"
#include "watch_run.h"
#include "watch_usage.h"

namespace {

// Standard output is written in blocks this large, one record a block: an
// item can be long, and every write to the device is a call into the system.
const std::size_t kOutputBlockSize = 64 * 1024;
// How long closing the console may wait for the watch to end its link: the
// system ends the process a few seconds after the handler is called anyway.
const DWORD kCloseWaitMs = 4000;

DWORD watchThread = 0;
HANDLE watchEnded = nullptr;

// Returns TRUE: the event is handled. Runs on a thread of its own, so it only
// asks the watch's thread to end; when the console is closing, it waits for
// that end, since the system ends the process as soon as the handler returns.
BOOL WINAPI OnConsoleControl(DWORD event) {
    PostThreadMessageA(watchThread, WM_QUIT, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(watchEnded, kCloseWaitMs);
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    // No critical-error or file-not-found message boxes: this is a console
    // program that scripts run unattended.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const WatchArguments arguments = ParseWatchArguments(argc, argv);
    if (arguments.showUsage) {
        PrintWatchUsage(stdout);
        return 0;
    }
    if (arguments.badUsage) {
        PrintWatchUsage(stderr);
        return 3;
    }
    // Records carry the item's bytes unchanged: a CR LF inside stays CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IOFBF, kOutputBlockSize);
    // The thread's message queue exists before the handler can post to it.
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    watchThread = GetCurrentThreadId();
    watchEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const int status = RunWatch(arguments);
    SetEvent(watchEnded);
    return status;
}
