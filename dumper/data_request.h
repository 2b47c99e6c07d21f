// Asking the planetarium for its data item and printing it.
#ifndef ZENOLT_DUMPER_DATA_REQUEST_H
#define ZENOLT_DUMPER_DATA_REQUEST_H

#include "../common/dde_link.h"
#include "../common/planetarium_reach.h"

// Requests the "DdeData" item as CF_TEXT (waiting up to two minutes) and
// writes its byte count and text to standard output; a request that gives no
// data, or data that cannot be read, prints "0". Returns true when a
// conversation was opened, false when none could be, after writing the
// connect-failure line to standard error unless unreached is Quiet.
bool RequestDataItem(Unreached unreached = Unreached::Report);

// Dumps the planetarium where choice says: through the session ZENOLT_SESSION
// names when one serves there (ChooseTcpRoute), otherwise looking for it as
// long as choice says (FindPlanetarium): a DDE planetarium's data item, as
// RequestDataItem does, or the state asked of the TCP command server (the five lines of
// planetarium_state.h), whose byte count and text are written to standard
// output as an item is. Returns the exit status: 0; or 1 when the
// planetarium was not reached (the connect-failure line, and what more is
// known, on standard error) or closed the connection before it answered
// (ZenoltDump: the planetarium closed the connection).
int DumpPlanetarium(const PlanetariumChoice& choice);

#endif
