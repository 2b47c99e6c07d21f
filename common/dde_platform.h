// The platform's DDE management library, as the planetarium link uses it.
//
// On Windows this is <windows.h> and <ddeml.h>. Elsewhere (the Linux host
// build, where the link is tested against a recording fake) it declares the
// same names with the same shapes, and the test build supplies the functions;
// Sleep, the one other platform call, comes with them so that the batch's
// pauses between commands are seen in order with its pokes.
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

typedef struct HSZ__* HSZ;
typedef struct HCONV__* HCONV;
typedef struct HDDEDATA__* HDDEDATA;
typedef struct CONVCONTEXT* PCONVCONTEXT;
typedef HDDEDATA (*PFNCALLBACK)(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, std::uintptr_t,
                                std::uintptr_t);

constexpr UINT CF_TEXT = 1;
constexpr int CP_WINANSI = 1004;
constexpr DWORD APPCLASS_MONITOR = 0x00000001;
constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;
constexpr UINT XTYP_EXECUTE = 0x4050;
constexpr UINT XTYP_POKE = 0x4090;
constexpr UINT XTYP_REQUEST = 0x20B0;
constexpr DWORD DDE_FACK = 0x8000;
constexpr UINT DMLERR_NO_ERROR = 0;
constexpr UINT DMLERR_BUSY = 0x4001;
constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
constexpr DWORD QID_SYNC = 0xFFFFFFFF;
constexpr WORD ST_CONNECTED = 0x0001;

// The part of the conversation's description that the batch reads.
struct CONVINFO {
    DWORD cb;
    WORD wStatus;
};
typedef CONVINFO* PCONVINFO;

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
void Sleep(DWORD ms);

#endif

#endif
