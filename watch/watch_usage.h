// ZenoltWatch's usage text.
#ifndef ZENOLT_WATCH_WATCH_USAGE_H
#define ZENOLT_WATCH_WATCH_USAGE_H

#include <cstdio>

// Writes the usage text to out (standard output when asked for, standard
// error after a bad option), flushing after every line end.
void PrintWatchUsage(std::FILE* out);

#endif
