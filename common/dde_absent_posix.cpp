// The DDE library where there is none (Linux, macOS): every call answers as
// Windows does when no DDE server runs, so that a conversation is never
// opened and a program goes on to the planetarium's TCP command server. The
// clock and the waiting of a conversation with a callback are the system's.
#include <chrono>
#include <thread>

#include "dde_platform.h"

namespace {

// What DdeInitializeA answers when it cannot start an instance.
const UINT kNoDdeHere = 0x4006;  // DMLERR_DLL_NOT_INITIALIZED

}  // namespace

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK, DWORD, DWORD) {
    *instance = 0;
    return kNoDdeHere;
}
HSZ DdeCreateStringHandleA(DWORD, LPCSTR, int) { return nullptr; }
HCONV DdeConnect(DWORD, HSZ, HSZ, PCONVCONTEXT) { return nullptr; }
HDDEDATA DdeClientTransaction(LPBYTE, DWORD, HCONV, HSZ, UINT, UINT, DWORD, LPDWORD) {
    return nullptr;
}
LPBYTE DdeAccessData(HDDEDATA, LPDWORD) { return nullptr; }
BOOL DdeUnaccessData(HDDEDATA) { return FALSE; }
BOOL DdeDisconnect(HCONV) { return FALSE; }
BOOL DdeFreeStringHandle(DWORD, HSZ) { return FALSE; }
BOOL DdeUninitialize(DWORD) { return FALSE; }
UINT DdeGetLastError(DWORD) { return kNoDdeHere; }
UINT DdeQueryConvInfo(HCONV, DWORD, PCONVINFO) { return 0; }
BOOL IsWindow(HWND) { return FALSE; }
BOOL PeekMessageA(LPMSG, HWND, UINT, UINT, UINT) { return FALSE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageA(const MSG*) { return 0; }
void PostQuitMessage(int) {}

DWORD MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD ms, DWORD) {
    if (ms != INFINITE) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return WAIT_TIMEOUT;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
}
