// ZenoltDump: prints the byte count and text of the running planetarium's
// "DdeData" item; with any argument at all, prints its usage text instead.
//
// Exit status: 0, or 1 when no conversation with the planetarium could be
// opened. A request that gives no data prints "0" and is not an error.
#include <windows.h>

#include <cstdio>

#include "data_request.h"
#include "dumper_usage.h"

int main(int argc, char**) {
    // No critical-error or file-not-found message boxes: this is a console
    // program that scripts run unattended.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (argc > 1) {
        PrintDumperUsage(stdout);
        return 0;
    }
    return RequestDataItem() ? 0 : 1;
}
