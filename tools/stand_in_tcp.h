// The stand-in planetarium's TCP command server (Linux and Windows); its
// options and log are described at the top of stand_in_tcp.cpp.
#ifndef ZENOLT_TOOLS_STAND_IN_TCP_H
#define ZENOLT_TOOLS_STAND_IN_TCP_H

// Runs the TCP command server with the options in argv[1..argc-1] until it
// should end; returns the process's exit status (2 for bad options or a
// failed start, 0 otherwise).
int RunTcpStandIn(int argc, char** argv);

#endif
