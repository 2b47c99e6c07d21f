// Sending a whole script to the planetarium in one DDE conversation.
#ifndef ZENOLT_BATCH_BATCH_RUN_H
#define ZENOLT_BATCH_BATCH_RUN_H

#include <string>

#include "../common/dde_link.h"
#include "batch_report.h"
#include "script_reader.h"

// Pokes text into the open conversation of link, waiting up to timeoutMs for
// the acknowledgement. Returns what became of it: acknowledged, refused,
// unanswered, or the conversation was lost.
CommandOutcome PokeCommand(const DdeLink& link, const std::string& text, DWORD timeoutMs);

// Opens one conversation with the planetarium (writing the connect-failure
// line to standard error when it cannot), pokes every command line that
// reader gives, in order, with pauseMs between two pokes, and tears the
// conversation down. Each command not acknowledged is reported on standard
// error as it happens. Once the conversation is lost nothing more is sent:
// the rest of the script is only read, to count and report the command
// lines not sent. Returns what became of them all.
BatchCounts RunBatch(ScriptReader& reader, DWORD timeoutMs, DWORD pauseMs);

#endif
