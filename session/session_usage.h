// ZenoltSession's usage text.
#ifndef ZENOLT_SESSION_SESSION_USAGE_H
#define ZENOLT_SESSION_SESSION_USAGE_H

#include <cstdio>

// Writes the usage text to out (standard output when asked for, standard
// error after a bad option), flushing after every line end.
void PrintSessionUsage(std::FILE* out);

#endif
