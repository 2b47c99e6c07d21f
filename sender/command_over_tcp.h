// Sending the command text to the planetarium's TCP command server and
// writing what it answered.
#ifndef ZENOLT_SENDER_COMMAND_OVER_TCP_H
#define ZENOLT_SENDER_COMMAND_OVER_TCP_H

#include <cstdio>
#include <string>

#include "../common/tcp_route.h"

// How long Zenolt waits for the planetarium's reply.
constexpr unsigned long kSenderReplyTimeoutMs = 30000;

// Writes what the planetarium answered to a command, as plain text lines:
// a success's value to out (the reply without a leading "OK!" and one
// blank, a bare "OK!" writing nothing, and each further line of the reply
// as it is); a refusal whole to err. Returns the exit status: 0 for a
// success, 2 for a refusal.
int WriteCommandReply(std::FILE* out, std::FILE* err, TcpAnswer answer, const std::string& reply);

// Sends the command text (the program's own text) to the planetarium's TCP
// command server on this computer, along route (chosen by ChooseTcpRoute),
// and writes the reply. Returns the exit status: 0 success; 1 the
// planetarium was not reached (the connect-failure line, and what more is
// known, on standard error) or closed the connection before it answered; 2
// it refused the command, did not answer within kSenderReplyTimeoutMs, or
// the command cannot be sent over TCP at all (then nothing is sent).
int SendCommandOverTcp(const std::string& commandText, TcpRoute& route);

#endif
