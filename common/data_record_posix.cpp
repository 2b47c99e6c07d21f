// The POSIX side of records: the local time, and the text of the system,
// taken as UTF-8 (what the planetarium's server speaks, and what Linux and
// macOS terminals use).
#include <sys/time.h>

#include <ctime>

#include "data_record.h"

// Returns the local time now, with its offset from UTC of the same moment.
RecordTime CurrentRecordTime() {
    timeval now = {};
    gettimeofday(&now, nullptr);
    const std::time_t seconds = now.tv_sec;
    std::tm local = {};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
            local.tm_sec, static_cast<int>(now.tv_usec / 1000),
            static_cast<int>(local.tm_gmtoff / 60)};
}

const AnsiCodePage& SystemAnsiCodePage() { return Utf8Text(); }
