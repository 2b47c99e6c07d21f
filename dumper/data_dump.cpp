#include "data_dump.h"

#include <cstring>

void WriteDataDump(std::FILE* out, const unsigned char* bytes, std::size_t count) {
    // The receive size comes from a 32-bit DDE length, so it fits unsigned long.
    std::fprintf(out, "%lu", static_cast<unsigned long>(count));
    if (count == 0) return;
    const unsigned char* nul = static_cast<const unsigned char*>(std::memchr(bytes, '\0', count));
    std::fwrite(bytes, 1, nul == nullptr ? count : static_cast<std::size_t>(nul - bytes), out);
}
