// Sending the command text to the planetarium: poked over DDE, or sent to
// its TCP command server with what it answered written.
#ifndef ZENOLT_SENDER_COMMAND_OVER_TCP_H
#define ZENOLT_SENDER_COMMAND_OVER_TCP_H

#include <cstdio>
#include <string>

#include "../common/planetarium_reach.h"
#include "../common/tcp_conversation.h"

// How long Zenolt waits for the planetarium's reply.
constexpr unsigned long kSenderReplyTimeoutMs = 30000;

// Writes what the planetarium answered to a command, as plain text lines:
// a success's value to out (the reply without a leading "OK!" and one
// blank, a bare "OK!" writing nothing, and each further line of the reply
// as it is); a refusal whole to err. Returns the exit status: 0 for a
// success, 2 for a refusal.
int WriteCommandReply(std::FILE* out, std::FILE* err, TcpAnswer answer, const std::string& reply);

// Sends the command text (the program's own text) to the planetarium where
// choice says: through the session ZENOLT_SESSION names when one serves there
// (ChooseTcpRoute), otherwise looking for it as long as choice says
// (FindPlanetarium): poked into a DDE planetarium's data item, or sent to the
// TCP command server in one conversation, whose reply is written. Returns the
// exit status: 0 success (over DDE, whatever the planetarium made of the poke);
// 1 the planetarium was not reached (the connect-failure line, and what more is
// known, on standard error) or closed the connection before it answered; 2 it
// refused the command, did not answer within kSenderReplyTimeoutMs, or the
// command cannot be sent over TCP at all (then nothing is sent over TCP, and
// only a planetarium looked for over DDE first is poked).
int SendCommandText(const std::string& commandText, const PlanetariumChoice& choice);

#endif
