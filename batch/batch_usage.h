// ZenoltBatch's usage text.
#ifndef ZENOLT_BATCH_BATCH_USAGE_H
#define ZENOLT_BATCH_BATCH_USAGE_H

#include <cstdio>

// Writes the usage text to out (standard output when asked for, standard
// error after a bad option), flushing after every line end.
void PrintBatchUsage(std::FILE* out);

#endif
