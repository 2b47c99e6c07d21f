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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> received(data, data + size);
    char* printed = nullptr;
    std::size_t printedSize = 0;
    std::FILE* out = open_memstream(&printed, &printedSize);
    if (out == nullptr) return 0;
    WriteDataDump(out, received.data(), received.size());
    std::fclose(out);

    const void* nul = std::memchr(data, 0, size);
    const std::size_t textLength = nul ? static_cast<const std::uint8_t*>(nul) - data : size;
    const std::string expected =
        std::to_string(size) + std::string(reinterpret_cast<const char*>(data), textLength);
    if (std::string(printed, printedSize) != expected) std::abort();
    std::free(printed);
    return 0;
}
