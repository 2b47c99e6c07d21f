// ZenoltBatch's usage text.
#ifndef ZENOLT_BATCH_BATCH_USAGE_H
#define ZENOLT_BATCH_BATCH_USAGE_H

#include <cstdio>

// Writes the usage text to out, flushing after every line end; the options
// and words of DDE only where the system has it (hasDde).
void PrintBatchUsage(std::FILE* out, bool hasDde);

#endif
