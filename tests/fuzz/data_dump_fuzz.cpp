// Fuzzes printing a received data item: any bytes, any length, with or
// without NULs. The input is received into a buffer of exactly its size, so
// AddressSanitizer catches any read past it; the output must be the decimal
// count followed by the bytes before the first NUL.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data_dump.h"

// One stream over one buffer for every input: a memory stream made for each
// input took most of the time, its fresh buffer's pages being touched anew
// each time while AddressSanitizer holds freed memory back. The buffer holds
// the output of any input up to its size less room for the count.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char printed[1 << 20];
    static std::FILE* const out = fmemopen(printed, sizeof printed, "w");
    if (out == nullptr || size > sizeof printed - 32) return 0;
    const std::vector<unsigned char> received(data, data + size);
    std::rewind(out);
    WriteDataDump(out, received.data(), received.size());
    std::fflush(out);
    const long printedSize = std::ftell(out);

    const void* nul = std::memchr(data, 0, size);
    const std::size_t textLength = nul ? static_cast<const std::uint8_t*>(nul) - data : size;
    const std::string expected =
        std::to_string(size) + std::string(reinterpret_cast<const char*>(data), textLength);
    if (printedSize < 0 || std::string(printed, static_cast<std::size_t>(printedSize)) != expected) {
        std::abort();
    }
    return 0;
}
