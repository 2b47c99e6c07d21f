// The dumper's usage text.
#ifndef ZENOLT_DUMPER_DUMPER_USAGE_H
#define ZENOLT_DUMPER_DUMPER_USAGE_H

#include <cstdio>

// Writes the usage text to out. Its last line, the credit, has no line end
// and is left for the stream to flush when the process ends.
void PrintDumperUsage(std::FILE* out);

#endif
