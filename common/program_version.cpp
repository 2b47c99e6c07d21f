#include "program_version.h"

#include <string>

#include "text_lines.h"

// Set by the build from the project's one version, which the package, the
// archive, the version resources and the manual pages carry too.
#ifndef ZENOLT_VERSION
#error "ZENOLT_VERSION must be defined by the build"
#endif

void PrintProgramVersion(std::FILE* out, const char* program) {
    WriteLine(out, std::string(program) + " " + ZENOLT_VERSION);
}

const char* ReleaseVersion() { return ZENOLT_VERSION; }
