#include "dumper_usage.h"

void PrintDumperUsage(std::FILE* out) {
    // "Zenolt" is printed as it stands, not taken from the program's path.
    std::fputs("Usage: Zenolt\n", out);
    std::fflush(out);
    std::fputs("This will output all DDE-Data from CDC\n", out);
    std::fflush(out);
    std::fputs("\n", out);
    std::fflush(out);
    std::fputs("Telmar (https://telmar.example/) 2004", out);
}
