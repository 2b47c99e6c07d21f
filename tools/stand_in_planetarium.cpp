// A stand-in for the planetarium's DDE server, for the tests and the try-it
// script: it registers service "ciel", accepts topic "DdeSkyChart" and writes
// one line per event to a log file, flushed at once so that a test can read
// it while the stand-in runs:
//
//   READY                               service registered; clients may connect
//   CONNECT topic=<name>                a conversation was accepted
//   POKE item=<name> format=<n> size=<n> hex=<bytes> text=<bytes, readable>
//   REQUEST item=<name> format=<n> size=<n>   (size of the data served; -1: refused)
//   DISCONNECT
//   END                                 the stand-in is ending
//
// Options:
//   --log FILE          where to write the log (required)
//   --hold-poke MS      hold each poke's acknowledgement MS milliseconds,
//                       pumping messages meanwhile as a busy server would
//   --hold-poke-of TEXT MS   the same, only for pokes of exactly TEXT
//   --refuse-poke       answer pokes with "not processed"
//   --refuse-poke-of TEXT    the same, only for pokes of exactly TEXT
//   --end-after-pokes N end (as a planetarium that is closed would) once it
//                       has answered N pokes
//   --serve FILE        serve the bytes of FILE as the CF_TEXT "DdeData" item
//   --refuse-request    answer requests with no data
//   --hold-request MS   answer each request only after MS milliseconds,
//                       pumping messages meanwhile as a busy server would
//   --stop-file FILE    end once FILE exists
//   --lifetime SECONDS  end after this long in any case (default 120)
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How the stand-in answers pokes of exactly text, or of any text when anyText.
struct PokeRule {
    std::string text;
    bool anyText = true;
    DWORD holdMs = 0;
    bool refuse = false;
};

struct StandInSettings {
    std::string logPath;
    std::vector<PokeRule> pokeRules;
    unsigned long endAfterPokes = 0;  // 0: never
    bool refuseRequest = false;
    DWORD holdRequestMs = 0;
    std::vector<BYTE> served;
    std::string stopFile;
    DWORD lifetimeSeconds = 120;
};

StandInSettings settings;
unsigned long pokesAnswered = 0;
DWORD instance = 0;
HSZ serviceName = nullptr;
HSZ topicName = nullptr;
std::FILE* logFile = nullptr;

void LogLine(const std::string& line) {
    std::fputs(line.c_str(), logFile);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

std::string NameOf(HSZ name) {
    char buffer[256] = {0};
    DdeQueryStringA(instance, name, buffer, sizeof buffer, CP_WINANSI);
    return buffer;
}

void AppendHex(std::string& out, BYTE b) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 0x0F];
}

std::string HexOf(const std::vector<BYTE>& bytes) {
    std::string hex;
    for (BYTE b : bytes) AppendHex(hex, b);
    return hex;
}

// The bytes as a reader would like to see them: printable ASCII as it is,
// anything else as \xHH.
std::string ReadableOf(const std::vector<BYTE>& bytes) {
    std::string text;
    for (BYTE b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += static_cast<char>(b);
        } else {
            text += "\\x";
            AppendHex(text, b);
        }
    }
    return text;
}

std::vector<BYTE> BytesOf(HDDEDATA data) {
    std::vector<BYTE> bytes(DdeGetData(data, nullptr, 0, 0));
    if (!bytes.empty()) {
        bytes.resize(DdeGetData(data, bytes.data(), static_cast<DWORD>(bytes.size()), 0));
    }
    return bytes;
}

// Keeps the conversation alive (answering the client's messages) for ms
// milliseconds, the way a planetarium busy with a slow command would.
void PumpMessagesFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

HDDEDATA CALLBACK OnDdeEvent(UINT type, UINT format, HCONV, HSZ name1, HSZ name2, HDDEDATA data,
                             ULONG_PTR, ULONG_PTR) {
    switch (type) {
        case XTYP_CONNECT:
            if (DdeCmpStringHandles(name1, topicName) != 0) return nullptr;
            LogLine("CONNECT topic=" + NameOf(name1));
            return reinterpret_cast<HDDEDATA>(TRUE);
        case XTYP_POKE: {
            const std::vector<BYTE> bytes = BytesOf(data);
            LogLine("POKE item=" + NameOf(name2) + " format=" + std::to_string(format) +
                    " size=" + std::to_string(bytes.size()) + " hex=" + HexOf(bytes) +
                    " text=" + ReadableOf(bytes));
            const std::string text(bytes.begin(), bytes.end());
            DWORD holdMs = 0;
            bool refuse = false;
            for (const PokeRule& rule : settings.pokeRules) {
                if (!rule.anyText && text != rule.text + '\0') continue;
                holdMs += rule.holdMs;
                refuse = refuse || rule.refuse;
            }
            if (holdMs > 0) PumpMessagesFor(holdMs);
            ++pokesAnswered;
            return reinterpret_cast<HDDEDATA>(refuse ? DDE_FNOTPROCESSED : DDE_FACK);
        }
        case XTYP_REQUEST: {
            const long size = settings.refuseRequest ? -1 : static_cast<long>(settings.served.size());
            LogLine("REQUEST item=" + NameOf(name2) + " format=" + std::to_string(format) +
                    " size=" + std::to_string(size));
            if (settings.holdRequestMs > 0) PumpMessagesFor(settings.holdRequestMs);
            if (settings.refuseRequest) return nullptr;
            return DdeCreateDataHandle(instance, settings.served.data(),
                                       static_cast<DWORD>(settings.served.size()), 0, name2,
                                       format, 0);
        }
        case XTYP_DISCONNECT:
            LogLine("DISCONNECT");
            return nullptr;
        default:
            return nullptr;
    }
}

bool ReadWholeFile(const char* path, std::vector<BYTE>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    BYTE chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

bool ParseSettings(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--log" && hasValue) {
            settings.logPath = argv[++i];
        } else if (option == "--hold-poke" && hasValue) {
            settings.pokeRules.push_back({"", true, std::strtoul(argv[++i], nullptr, 10), false});
        } else if (option == "--hold-poke-of" && i + 2 < argc) {
            settings.pokeRules.push_back({argv[i + 1], false, std::strtoul(argv[i + 2], nullptr, 10), false});
            i += 2;
        } else if (option == "--refuse-poke") {
            settings.pokeRules.push_back({"", true, 0, true});
        } else if (option == "--refuse-poke-of" && hasValue) {
            settings.pokeRules.push_back({argv[++i], false, 0, true});
        } else if (option == "--end-after-pokes" && hasValue) {
            settings.endAfterPokes = std::strtoul(argv[++i], nullptr, 10);
        } else if (option == "--serve" && hasValue) {
            if (!ReadWholeFile(argv[++i], settings.served)) return false;
        } else if (option == "--refuse-request") {
            settings.refuseRequest = true;
        } else if (option == "--hold-request" && hasValue) {
            settings.holdRequestMs = std::strtoul(argv[++i], nullptr, 10);
        } else if (option == "--stop-file" && hasValue) {
            settings.stopFile = argv[++i];
        } else if (option == "--lifetime" && hasValue) {
            settings.lifetimeSeconds = std::strtoul(argv[++i], nullptr, 10);
        } else {
            return false;
        }
    }
    return !settings.logPath.empty();
}

bool ShouldStop(DWORD startTicks) {
    if (GetTickCount() - startTicks >= settings.lifetimeSeconds * 1000) return true;
    if (settings.endAfterPokes > 0 && pokesAnswered >= settings.endAfterPokes) return true;
    return !settings.stopFile.empty() &&
           GetFileAttributesA(settings.stopFile.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    if (!ParseSettings(argc, argv)) {
        std::fputs("usage: StandInPlanetarium --log FILE [--hold-poke MS] [--hold-poke-of TEXT MS]\n"
                   "       [--refuse-poke] [--refuse-poke-of TEXT] [--end-after-pokes N]\n"
                   "       [--serve FILE] [--refuse-request] [--hold-request MS]\n"
                   "       [--stop-file FILE] [--lifetime SECONDS]\n",
                   stderr);
        return 2;
    }
    logFile = std::fopen(settings.logPath.c_str(), "ab");
    if (logFile == nullptr) {
        std::fprintf(stderr, "StandInPlanetarium: cannot open %s\n", settings.logPath.c_str());
        return 2;
    }
    if (DdeInitializeA(&instance, OnDdeEvent, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
        std::fputs("StandInPlanetarium: DdeInitialize failed\n", stderr);
        return 2;
    }
    serviceName = DdeCreateStringHandleA(instance, "ciel", CP_WINANSI);
    topicName = DdeCreateStringHandleA(instance, "DdeSkyChart", CP_WINANSI);
    if (DdeNameService(instance, serviceName, nullptr, DNS_REGISTER) == nullptr) {
        std::fputs("StandInPlanetarium: cannot register service ciel\n", stderr);
        return 2;
    }
    LogLine("READY");

    const DWORD startTicks = GetTickCount();
    SetTimer(nullptr, 0, 50, nullptr);
    MSG message;
    while (!ShouldStop(startTicks) && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    LogLine("END");
    DdeNameService(instance, serviceName, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(instance, serviceName);
    DdeFreeStringHandle(instance, topicName);
    DdeUninitialize(instance);
    std::fclose(logFile);
    return 0;
}
