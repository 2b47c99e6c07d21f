// Printing the planetarium's data item.
#ifndef ZENOLT_DUMPER_DATA_DUMP_H
#define ZENOLT_DUMPER_DATA_DUMP_H

#include <cstddef>
#include <cstdio>

// Writes count as an unsigned decimal number, then directly the received
// bytes as text up to the first NUL or the end of what was received,
// whichever comes first. Adds no separator and no line end, and does not
// flush. Reads nothing at or past bytes + count; bytes may be null when count
// is 0.
void WriteDataDump(std::FILE* out, const unsigned char* bytes, std::size_t count);

#endif
