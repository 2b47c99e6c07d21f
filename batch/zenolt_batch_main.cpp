// ZenoltBatch: sends a whole script of planetarium commands, one per line, in
// one conversation, and says what became of each; without arguments, prints
// its usage text; with --version, its version.
//
// Exit status: 0 every command acknowledged; 1 the planetarium could not be
// reached (within --wait), or the conversation was lost part way; 2 some
// command was refused, unanswered or could not be sent; 3 bad usage (a bad
// ZENOLT_SERVER or ZENOLT_WAIT too), or the script cannot be read.
#include <cerrno>
#include <cstdio>
#include <string>

#include "../common/process_platform.h"
#include "../common/program_version.h"
#include "../common/trace.h"
#include "batch_arguments.h"
#include "batch_progress.h"
#include "batch_report.h"
#include "batch_run.h"
#include "batch_usage.h"
#include "script_reader.h"

int main(int argc, char** argv) {
    PrepareUnattendedRun();
    StartTrace();
    BatchArguments arguments = ParseBatchArguments(argc, argv);
    if (arguments.showUsage) {
        PrintBatchUsage(stdout, SystemHasDde());
        return 0;
    }
    if (arguments.showVersion) {
        PrintProgramVersion(stdout, "ZenoltBatch");
        return 0;
    }
    if (!arguments.badUsage && arguments.reach.by == ReachBy::DdeOnly && !SystemHasDde()) {
        arguments.badUsage = true;
        arguments.error = "--dde: DDE exists only on Windows, for Cartes du Ciel before 2006";
    }
    if (arguments.badUsage) {
        ReportUsageError("ZenoltBatch", arguments.error);
        return 3;
    }
    if (!ReadPlanetariumEnvironment(arguments.reach, arguments.placeGiven, arguments.waitGiven,
                                    "ZenoltBatch")) {
        return 3;
    }
    // The script's bytes go to the planetarium as they are: binary mode, so
    // that neither CR LF nor Ctrl-Z is taken by the C runtime.
    const bool fromStandardInput = arguments.input == "-";
    const std::string name = fromStandardInput ? "standard input" : arguments.input;
    int descriptor = 0;
    if (fromStandardInput) {
        SetBinaryStream(stdin);
    } else {
        descriptor = OpenScriptFile(arguments.input.c_str());
        if (descriptor < 0) {
            ReportUnreadableScript(stderr, name, errno);
            return 3;
        }
    }
    // Replies and JSON objects carry the item's bytes unchanged: a CR LF in
    // it stays CR LF, and each line ends in the CR LF written for it.
    const bool binaryOutput = arguments.replies || arguments.json;
    if (binaryOutput) SetBinaryStream(stdout);
    // The status line only on a console: a file or a pipe gets exactly the
    // bytes it always got. A share of the script read means something only
    // for a file on disk.
    BatchProgress progress;
    progress.ofFile = !fromStandardInput && RegularFileSize(descriptor, progress.scriptSize);
    ScriptReader reader;
    StartScript(reader, ReadFromDescriptor, &descriptor);
    const BatchCounts counts =
        RunBatch(reader, arguments, StreamIsConsole(stderr) ? &progress : nullptr);
    if (!fromStandardInput) CloseScriptFile(descriptor);
    if (counts.readFailed) ReportUnreadableScript(stderr, name, counts.readError);
    if (counts.reached && arguments.json) {
        PrintJsonSummary(stdout, counts);
    } else if (counts.reached) {
        // The summary is a line of text, its line end the console's own.
        if (binaryOutput) {
            std::fflush(stdout);
            SetTextStream(stdout);
        }
        PrintSummary(stdout, counts);
    }
    return BatchExitStatus(counts);
}
