// Asking the planetarium for its data item and printing it.
#ifndef ZENOLT_DUMPER_DATA_REQUEST_H
#define ZENOLT_DUMPER_DATA_REQUEST_H

// Requests the "DdeData" item as CF_TEXT (waiting up to two minutes) and
// writes its byte count and text to standard output; a request that gives no
// data, or data that cannot be read, prints "0". Returns true when a
// conversation was opened, false when none could be, after writing the
// connect-failure line to standard error.
bool RequestDataItem();

#endif
