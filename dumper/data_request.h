// Asking the planetarium for its data item and printing it.
#ifndef ZENOLT_DUMPER_DATA_REQUEST_H
#define ZENOLT_DUMPER_DATA_REQUEST_H

#include "../common/dde_link.h"
#include "../common/tcp_route.h"

// Requests the "DdeData" item as CF_TEXT (waiting up to two minutes) and
// writes its byte count and text to standard output; a request that gives no
// data, or data that cannot be read, prints "0". Returns true when a
// conversation was opened, false when none could be, after writing the
// connect-failure line to standard error unless unreached is Quiet.
bool RequestDataItem(Unreached unreached = Unreached::Report);

// Asks the planetarium's TCP command server on this computer, along route
// (chosen by ChooseTcpRoute), for its state
// (the five lines of planetarium_state.h) and writes their byte count and
// text to standard output as an item is written. Returns the exit status:
// 0; or 1 when the planetarium was not reached (the connect-failure line,
// and what more is known, on standard error) or closed the connection
// before it answered (ZenoltDump: the planetarium closed the connection).
int DumpStateOverTcp(TcpRoute& route);

#endif
