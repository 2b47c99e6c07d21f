// The status line a batch keeps on a console while it runs: how many
// commands were sent, how much of the script was read, and for how long.
#ifndef ZENOLT_BATCH_BATCH_PROGRESS_H
#define ZENOLT_BATCH_BATCH_PROGRESS_H

#include <cstddef>
#include <cstdio>
#include <string>

// The status line is drawn again at most this often.
constexpr unsigned long kProgressIntervalMs = 100;

struct BatchProgress {
    unsigned long startMs = 0;          // when the batch began, on the caller's clock
    bool ofFile = false;                // the script is a file of scriptSize bytes
    unsigned long long scriptSize = 0;
    bool drawn = false;                 // a line has been drawn at some time
    unsigned long drawnAtMs = 0;        // when it was last drawn
    std::size_t width = 0;              // characters of the line now shown; 0: none shown
};

// Returns the status line's text, for a script file or for standard input:
//   ZenoltBatch: 120 sent, 45% of the script read, 0:12
//   ZenoltBatch: 120 sent, 1:02:03
std::string ProgressText(unsigned long sent, bool ofFile, unsigned long long taken,
                         unsigned long long size, unsigned long elapsedMs);

// Draws the status line over the one shown (carriage return, the text, and
// blanks over what is left of a longer one) and flushes err, unless the
// last one was drawn less than kProgressIntervalMs before nowMs.
void ShowProgress(std::FILE* err, BatchProgress& progress, unsigned long sent,
                  unsigned long long taken, unsigned long nowMs);

// Blanks out the status line, if one is shown, so that what is written next
// starts on an empty line; the next ShowProgress draws it again.
void ClearProgress(std::FILE* err, BatchProgress& progress);

#endif
