// The release a program belongs to, as --version tells it.
#ifndef ZENOLT_COMMON_PROGRAM_VERSION_H
#define ZENOLT_COMMON_PROGRAM_VERSION_H

#include <cstdio>

// Returns nothing; writes the program's name, one blank, the release's
// version (the build's project version, such as 1.0.0) and a line end to out.
void PrintProgramVersion(std::FILE* out, const char* program);

// Returns the release's version (the build's project version, such as 1.0.0).
const char* ReleaseVersion();

#endif
