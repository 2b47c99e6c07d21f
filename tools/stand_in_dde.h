// The stand-in planetarium's DDE server (Windows only); its options and log
// are described at the top of stand_in_dde.cpp.
#ifndef ZENOLT_TOOLS_STAND_IN_DDE_H
#define ZENOLT_TOOLS_STAND_IN_DDE_H

// Runs the DDE server with the options in argv[1..argc-1] until it should
// end; returns the process's exit status (2 for bad options or a failed
// start, 0 otherwise).
int RunDdeStandIn(int argc, char** argv);

#endif
