// ZenoltWatch's usage text.
#ifndef ZENOLT_WATCH_WATCH_USAGE_H
#define ZENOLT_WATCH_WATCH_USAGE_H

#include <cstdio>

// Writes the usage text to out, flushing after every line end; the options
// and words of DDE only where the system has it (hasDde).
void PrintWatchUsage(std::FILE* out, bool hasDde);

#endif
