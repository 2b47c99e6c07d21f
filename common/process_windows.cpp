// The Windows side of the process.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "process_platform.h"

namespace {

// How long closing the console may wait for the program to end its
// conversation: the system ends the process a few seconds after the handler
// is called anyway.
const DWORD kCloseWaitMs = 4000;

DWORD quitThread = 0;
HANDLE conversationEnded = nullptr;

// Returns TRUE: the event is handled. Runs on a thread of its own, so it only
// asks the program's thread to end; when the console is closing, it waits for
// that end, since the system ends the process as soon as the handler returns.
BOOL WINAPI OnConsoleControl(DWORD event) {
    PostThreadMessageA(quitThread, WM_QUIT, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(conversationEnded, kCloseWaitMs);
    }
    return TRUE;
}

}  // namespace

void PrepareUnattendedRun() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

bool ProcessCommandLine(std::string& line) {
    line = GetCommandLineA();
    return true;
}

bool SystemHasDde() { return true; }

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

void SetBinaryStream(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

void SetTextStream(std::FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

bool StreamIsConsole(std::FILE* stream) {
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return GetConsoleMode(handle, &mode) != 0;
}

void StartQuitHandling() {
    // The thread's message queue exists before the handler can post to it.
    MSG message;
    PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    quitThread = GetCurrentThreadId();
    conversationEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool QuitRequested() {
    // Without quit handling nothing posts the request (and user32, which
    // holds the queue, need not be loaded to learn that).
    if (quitThread == 0) return false;
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// Without quit handling there is nothing to watch for: the system's own
// Ctrl+C ends the process. With it, the thread's queue is watched, since the
// handler posts WM_QUIT there; other messages waiting are handled, so that
// they cannot wake the wait again and again.
bool PauseUnlessQuit(unsigned long ms) {
    if (quitThread == 0) {
        Sleep(ms);
        return true;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return false;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

void FinishQuitHandling() { SetEvent(conversationEnded); }

int OpenScriptFile(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }

bool RegularFileSize(int descriptor, unsigned long long& size) {
    struct _stati64 status = {};
    if (_fstati64(descriptor, &status) != 0 || (status.st_mode & _S_IFREG) == 0) return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

void CloseScriptFile(int descriptor) { _close(descriptor); }
