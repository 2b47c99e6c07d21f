// The platform's DDE management library, as the planetarium link uses it.
//
// On Windows this is <windows.h> and <ddeml.h>. Elsewhere (the Linux host
// build, where the link is tested against a recording fake) it declares the
// same names with the same shapes, and the test build supplies the functions;
// the few calls of the thread's message queue and clock that a conversation
// with a callback waits with come with them, so that a test can play a
// planetarium's notifications and the passing of time in a set order.
#ifndef ZENOLT_COMMON_DDE_PLATFORM_H
#define ZENOLT_COMMON_DDE_PLATFORM_H

#ifdef _WIN32

#include <windows.h>
#include <ddeml.h>

#else

#include <cstdint>

typedef std::uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef unsigned int UINT;
typedef unsigned short WORD;
typedef int BOOL;
typedef unsigned char BYTE;
typedef BYTE* LPBYTE;
typedef const char* LPCSTR;
typedef std::uintptr_t ULONG_PTR;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef long LRESULT;
typedef void* HANDLE;
typedef struct HWND__* HWND;

typedef struct HSZ__* HSZ;
typedef struct HCONV__* HCONV;
typedef struct HDDEDATA__* HDDEDATA;
typedef struct CONVCONTEXT* PCONVCONTEXT;
#define CALLBACK
typedef HDDEDATA (*PFNCALLBACK)(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR);

constexpr UINT CF_TEXT = 1;
constexpr int CP_WINANSI = 1004;
constexpr DWORD APPCLASS_MONITOR = 0x00000001;
constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;
constexpr UINT XTYP_EXECUTE = 0x4050;
constexpr UINT XTYP_POKE = 0x4090;
constexpr UINT XTYP_REQUEST = 0x20B0;
constexpr UINT XTYP_ADVSTART = 0x1030;
constexpr UINT XTYP_ADVSTOP = 0x8040;
constexpr UINT XTYP_ADVDATA = 0x4010;
constexpr DWORD DDE_FACK = 0x8000;
constexpr UINT DMLERR_NO_ERROR = 0;
constexpr UINT DMLERR_BUSY = 0x4001;
constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
constexpr DWORD QID_SYNC = 0xFFFFFFFF;
constexpr WORD ST_CONNECTED = 0x0001;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT PM_REMOVE = 0x0001;
constexpr DWORD QS_ALLINPUT = 0x04FF;

// The part of the conversation's description that the programs read.
struct CONVINFO {
    DWORD cb;
    WORD wStatus;
    HWND hwndPartner;
};
typedef CONVINFO* PCONVINFO;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
typedef MSG* LPMSG;

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved);
HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR name, int codePage);
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context);
HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item,
                              UINT format, UINT type, DWORD timeout, LPDWORD result);
LPBYTE DdeAccessData(HDDEDATA data, LPDWORD size);
BOOL DdeUnaccessData(HDDEDATA data);
BOOL DdeDisconnect(HCONV conversation);
BOOL DdeFreeStringHandle(DWORD instance, HSZ name);
BOOL DdeUninitialize(DWORD instance);
UINT DdeGetLastError(DWORD instance);
UINT DdeQueryConvInfo(HCONV conversation, DWORD transaction, PCONVINFO info);
BOOL IsWindow(HWND window);
BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
void PostQuitMessage(int exitCode);
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms,
                                DWORD wakeMask);
DWORD GetTickCount();

#endif

#endif
