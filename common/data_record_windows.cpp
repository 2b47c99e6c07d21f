// The Windows side of records: the local time and the ANSI code page.
#include <windows.h>

#include "data_record.h"

namespace {

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

int AnsiToUtf16(const char* bytes, int count, char16_t* out, int capacity) {
    return MultiByteToWideChar(CP_ACP, 0, bytes, count, reinterpret_cast<wchar_t*>(out), capacity);
}

// A FILETIME as one number of 100-nanosecond intervals.
long long Ticks(const FILETIME& time) {
    return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

// Returns the local time now, with its offset from UTC found from the same
// moment in both, so that the two always agree (also across a change of
// daylight saving time).
RecordTime CurrentRecordTime() {
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    FILETIME utcTicks = {}, localTicks = {};
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&utc, &utcTicks) || !SystemTimeToFileTime(&local, &localTicks)) {
        local = utc;
        localTicks = utcTicks;
    }
    const long long offsetMinutes = (Ticks(localTicks) - Ticks(utcTicks)) / (10000LL * 60000);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
            local.wMilliseconds, static_cast<int>(offsetMinutes)};
}

const AnsiCodePage& SystemAnsiCodePage() {
    static const AnsiCodePage codePage = {IsAnsiLeadByte, AnsiToUtf16, nullptr};
    return codePage;
}
