#include "batch_progress.h"

std::string ProgressText(unsigned long sent, bool ofFile, unsigned long long taken,
                         unsigned long long size, unsigned long elapsedMs) {
    std::string text = "ZenoltBatch: " + std::to_string(sent) + " sent, ";
    if (ofFile) {
        const unsigned long long percent = size == 0 || taken >= size ? 100 : taken * 100 / size;
        text += std::to_string(percent) + "% of the script read, ";
    }
    const unsigned long seconds = elapsedMs / 1000;
    char clock[32];
    if (seconds >= 3600) {
        std::snprintf(clock, sizeof clock, "%lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    } else {
        std::snprintf(clock, sizeof clock, "%lu:%02lu", seconds / 60, seconds % 60);
    }
    return text + clock;
}

void ShowProgress(std::FILE* err, BatchProgress& progress, unsigned long sent,
                  unsigned long long taken, unsigned long nowMs) {
    if (progress.drawn && nowMs - progress.drawnAtMs < kProgressIntervalMs) return;
    const std::string text = ProgressText(sent, progress.ofFile, taken, progress.scriptSize,
                                          nowMs - progress.startMs);
    std::fputc('\r', err);
    std::fputs(text.c_str(), err);
    for (std::size_t i = text.size(); i < progress.width; ++i) std::fputc(' ', err);
    std::fflush(err);
    progress.drawn = true;
    progress.drawnAtMs = nowMs;
    progress.width = text.size();
}

void ClearProgress(std::FILE* err, BatchProgress& progress) {
    if (progress.width == 0) return;
    std::fputc('\r', err);
    for (std::size_t i = 0; i < progress.width; ++i) std::fputc(' ', err);
    std::fputc('\r', err);
    std::fflush(err);
    progress.width = 0;
}
