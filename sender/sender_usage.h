// The sender's usage list of the planetarium's DDE commands.
#ifndef ZENOLT_SENDER_SENDER_USAGE_H
#define ZENOLT_SENDER_SENDER_USAGE_H

#include <cstdio>

// Writes the usage list to out, flushing after every line end.
void PrintSenderUsage(std::FILE* out);

#endif
