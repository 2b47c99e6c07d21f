// Sending a whole script to the planetarium in one conversation.
#ifndef ZENOLT_BATCH_BATCH_RUN_H
#define ZENOLT_BATCH_BATCH_RUN_H

#include <string>

#include "../common/dde_link.h"
#include "../common/tcp_conversation.h"
#include "batch_arguments.h"
#include "batch_progress.h"
#include "batch_report.h"
#include "script_reader.h"

// Pokes text into the open conversation of link, waiting up to timeoutMs for
// the acknowledgement. Returns what became of it: acknowledged, refused,
// unanswered, or the conversation was lost.
CommandOutcome PokeCommand(const DdeLink& link, const std::string& text, DWORD timeoutMs);

// Returns the outcome of a command whose TCP answer was answer.
CommandOutcome TcpOutcome(TcpAnswer answer);

// Opens one conversation with the planetarium where arguments.reach says (by
// default DDE as a client with a callback, and when no DDE conversation
// opens, the TCP command server on this computer), writing the
// connect-failure line to standard error when none opens; sends every
// command line that reader gives, in order, and tears the conversation
// down. Over TCP each command's outcome comes from its reply, and a line
// the server cannot take is not sent. Between two pokes it waits arguments.pauseMs in the conversation, so
// that a planetarium that ends meanwhile is noticed at once. Each command not
// acknowledged is reported on standard error as it happens. With
// arguments.replies, the item is requested after each acknowledged command
// (waiting up to arguments.timeoutMs) and written to standard output as a
// record; with arguments.json, standard output gets one JSON object per
// command line instead, the reply in it. Every write to standard output is
// flushed before the next command is read. Once the conversation is lost
// nothing more is sent: the rest of the script is only read, to count and
// report the command lines not sent. progress, unless null, is the status
// line kept on standard error, cleared before anything else is written there
// or on standard output and when the batch ends. Returns what became of the
// commands.
BatchCounts RunBatch(ScriptReader& reader, const BatchArguments& arguments,
                     BatchProgress* progress);

#endif
