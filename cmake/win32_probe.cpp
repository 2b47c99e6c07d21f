// Prints one known line. A build runs it under Wine to learn whether this
// machine can run the programs it builds: a 32-bit program on a machine
// without the 32-bit half of Wine ends at once with status 0 and prints
// nothing, so only the line itself counts.
#include <cstdio>

int main() {
    std::puts("zenolt probe: running");
    return 0;
}
