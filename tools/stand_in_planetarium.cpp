// StandInPlanetarium: a stand-in for the planetarium Cartes du Ciel, for the
// tests and the try-it script. It speaks either of the planetarium's two
// interfaces, and logs what its clients do so that a test can check it:
//
//   StandInPlanetarium --tcp --log FILE [options]
//       the TCP command server of every planetarium since 2006 (options and
//       log: stand_in_tcp.cpp); Linux and Windows
//   StandInPlanetarium --log FILE [options]
//       the DDE server of the old Windows planetarium (options and log:
//       stand_in_dde.cpp); Windows only. On Linux there is no DDE, so the TCP
//       server runs whether or not --tcp is given.
//
// --tcp may stand anywhere among the options; every other option belongs to
// the interface chosen.
#include <cstring>
#include <vector>

#include "stand_in_tcp.h"
#ifdef _WIN32
#include "stand_in_dde.h"
#endif

int main(int argc, char** argv) {
    bool tcp = false;
    std::vector<char*> options;
    options.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tcp") == 0) {
            tcp = true;
        } else {
            options.push_back(argv[i]);
        }
    }
    const int count = static_cast<int>(options.size());
    options.push_back(nullptr);
#ifdef _WIN32
    if (!tcp) return RunDdeStandIn(count, options.data());
#else
    (void)tcp;
#endif
    return RunTcpStandIn(count, options.data());
}
