// Times whole program runs from inside Windows (under Wine: without the cost
// of the wine launcher), interleaving the commands round by round so that a
// busy moment of the machine falls on all of them alike, every other round
// in the other order.
//
//   bench_timer ROUNDS NAME "COMMAND LINE" [NAME "COMMAND LINE"]...
//
// A NAME of the form name*K times K runs of the command, one after another,
// as one measurement. Prints, for each command, the median and the fastest
// wall time as tab-separated lines:   NAME <tab> median ms <tab> min ms
// Standard output and error of the runs go to a file, as when a script
// captures them. (Not to the NUL device: under Wine, writing to it costs
// time in proportion to the bytes written, which no real output device does.)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Measured {
    std::string name;
    std::string commandLine;
    int repeat;  // runs per measurement
    std::vector<double> ms;
};

std::string outputPath;

// Starts the command and waits for it; returns false when it cannot start.
bool RunCommand(const Measured& m) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(m.commandLine.begin(), m.commandLine.end());
    line.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(output);
    if (!started) return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Times m.repeat runs of the command as one measurement.
bool RunOnce(Measured& m) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < m.repeat; ++i) {
        if (!RunCommand(m)) return false;
    }
    QueryPerformanceCounter(&end);
    m.ms.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                   static_cast<double>(frequency.QuadPart));
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fputs("usage: bench_timer ROUNDS NAME \"COMMAND LINE\" [NAME \"COMMAND LINE\"]...\n",
                   stderr);
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    outputPath = std::string(temp) + "zenolt-bench-output-" + std::to_string(GetCurrentProcessId());
    std::vector<Measured> measured;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string::size_type star = name.find('*');
        const int repeat = star == std::string::npos ? 1 : std::atoi(name.c_str() + star + 1);
        measured.push_back({name.substr(0, star), argv[i + 1], repeat > 0 ? repeat : 1, {}});
    }
    for (Measured& m : measured) RunOnce(m);  // warm-up, not counted
    for (Measured& m : measured) m.ms.clear();
    // Every other round runs the commands the other way round, so that each
    // command follows a different one in turn: a run can leave the machine
    // (and the planetarium) busy for the next one for a while.
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < measured.size(); ++i) {
            Measured& m = measured[round % 2 == 0 ? i : measured.size() - 1 - i];
            if (!RunOnce(m)) {
                std::fprintf(stderr, "cannot start: %s\n", m.commandLine.c_str());
                return 1;
            }
        }
    }
    for (const Measured& m : measured) {
        std::printf("%s\t%.2f\t%.2f\n", m.name.c_str(), Median(m.ms),
                    *std::min_element(m.ms.begin(), m.ms.end()));
    }
    DeleteFileA(outputPath.c_str());
    return 0;
}
