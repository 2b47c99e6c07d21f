// The DDE interface of the stand-in planetarium (StandInPlanetarium without
// --tcp, Windows only): a stand-in for the planetarium's DDE server, for the
// tests and the try-it script. It registers service "ciel", accepts topic
// "DdeSkyChart" and writes one line per event to a log file, flushed at once
// so that a test can read it while the stand-in runs:
//
//   READY                               service registered; clients may connect
//   CONNECT topic=<name>                a conversation was accepted
//   POKE item=<name> format=<n> size=<n> hex=<bytes> text=<bytes, readable>
//   REQUEST item=<name> format=<n> size=<n>   (size of the data served; -1: refused)
//   ADVSTART item=<name> format=<n>     an advise link was accepted
//   ADVSTART item=<name> format=<n> refused   an advise link was refused
//   ADVSTOP item=<name> format=<n>      a client ended its advise link
//   ADVISE size=<n>                     the item changed and was sent to every
//                                       advise link, if any (n: its bytes, NUL
//                                       included)
//   ADVISE size=<n> failed              the same, but the DDE library could not
//                                       post it to every link
//   DISCONNECT                          a conversation ended; also one whose
//                                       client vanished without ending it (a
//                                       killed process), found when advising
//   END                                 the stand-in is ending
//
// The item "DdeData" holds the bytes of --serve FILE or else, as the Delphi
// planetarium's item does, five lines in the ANSI code page separated by CR
// LF and ended by a NUL (the degree sign is the one byte 0xB0):
//
//   <the stand-in's start, as the PC writes a short date and a long time>
//   RA: 00h42m44.30s DEC:+41°16'09.0" FOV:+01°00'00"
//    00h42m44.30s +41°16'09.0"   Gx M 31 m: 3.44 Andromeda Galaxy
//   2026-12-08T13:41:15
//   LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Switzerland/Test
//
// until --echo-pokes or --tick changes it. A request of any item is answered
// with it, in the format asked for. Advise links are accepted for "DdeData"
// in CF_TEXT only, and each new value of the item is advised to them once the
// answer to the poke that made it is on its way.
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
//   --refuse-advise     refuse every advise link
//   --echo-pokes        after acknowledging a poke, report the command's
//                       result as the version 3 Delphi builds do, and advise
//                       it: the item becomes five lines, separated by CR LF
//                       and ended by a NUL,
//                         <time> ACK     or   <time> NAK
//                         (empty)
//                         OK!            or   Failed! Bad command name
//                         (empty)
//                         (empty)
//                       <time> being now, written as in the item above; ACK
//                       and OK! when the command (the poked bytes up to their
//                       first NUL) is one the stand-in knows: its first word
//                       (up to a blank) is one of the version 2 DDE
//                       vocabulary, ZOM+ ZOM- GOXY IDXY MOVE FIND DATE OBSL
//                       STA+ STA- NEB+ NEB- GREQ GRAZ GRNM CONL CONB EQAZ
//                       SBMP SGIF SJPG PDSS LOAD SAVE
//   --tick MS           every MS milliseconds (1 or more; as fast as the
//                       system allows when that is shorter than one pass of
//                       the loop) make the item "TICK <n>" and a NUL, n = 1,
//                       2, 3 ..., and advise it; ticks wait while a poke or a
//                       request is held
//   --stop-file FILE    end once FILE exists
//   --lifetime SECONDS  end after this long in any case (default 120)
//
// Requests are answered by the stand-in itself, not by the DDE library, also
// while a poke or a request is held: Wine's library follows the data of each
// request with a stray acknowledgement, which the client's next transaction
// in the same conversation takes for its own answer, so that every later
// answer comes one step late. Windows sends the data alone, and so does the
// stand-in.
//
// A client under Wine that makes a transaction (an XTYP_ADVSTOP, a poke) in a
// conversation while advise data is arriving in it may see the transaction
// fail at once (DMLERR_NOTPROCESSED), its answer coming later: Wine's client
// library ends the wait at the first DDE message of the conversation. With a
// fast --tick that is likely.
#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stand_in_dde.h"
#include "stand_in_log.h"

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
    bool serve = false;
    std::vector<BYTE> served;
    bool refuseAdvise = false;
    bool echoPokes = false;
    DWORD tickMs = 0;  // 0: no ticks
    std::string stopFile;
    DWORD lifetimeSeconds = 120;
};

StandInSettings settings;
unsigned long pokesAnswered = 0;
DWORD instance = 0;
HSZ serviceName = nullptr;
HSZ topicName = nullptr;
HSZ itemName = nullptr;
std::FILE* logFile = nullptr;
// What requests and advise links are served: the item "DdeData".
std::vector<BYTE> currentItem;
// New values of the item waiting to be advised, oldest first. Advising posts
// to the clients, which must not happen from inside the DDE library's
// callback (a poke's answer is still to be sent then), so the callback only
// queues the value and the message loop advises it.
std::vector<std::vector<BYTE>> pendingAdvises;
unsigned long ticksAdvised = 0;
bool quitRequested = false;
// The conversations with an advise link on the item (one each: the DDE
// library keeps a single link per conversation, item and format).
std::vector<HCONV> adviseLinks;
bool underWine = false;
unsigned long disconnectsLogged = 0;

void LogLine(const std::string& line) {
    std::fputs(line.c_str(), logFile);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

void LogDisconnect() {
    LogLine("DISCONNECT");
    ++disconnectsLogged;
}

std::string NameOf(HSZ name) {
    char buffer[256] = {0};
    DdeQueryStringA(instance, name, buffer, sizeof buffer, CP_WINANSI);
    return buffer;
}

std::string NameOfAtom(ATOM atom) {
    char buffer[256] = {0};
    GlobalGetAtomNameA(atom, buffer, sizeof buffer);
    return buffer;
}

std::string HexOf(const std::vector<BYTE>& bytes) {
    return HexOfBytes(bytes.data(), bytes.size());
}

std::string ReadableOf(const std::vector<BYTE>& bytes) {
    return ReadableOfBytes(bytes.data(), bytes.size());
}

std::vector<BYTE> BytesOf(HDDEDATA data) {
    std::vector<BYTE> bytes(DdeGetData(data, nullptr, 0, 0));
    if (!bytes.empty()) {
        bytes.resize(DdeGetData(data, bytes.data(), static_cast<DWORD>(bytes.size()), 0));
    }
    return bytes;
}

std::vector<BYTE> BytesOfText(const std::string& text) {
    return std::vector<BYTE>(text.begin(), text.end());
}

HDDEDATA DataHandleOf(const std::vector<BYTE>& bytes, HSZ item, UINT format) {
    return DdeCreateDataHandle(instance, const_cast<BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), 0, item, format, 0);
}

void HandleMessage(const MSG& message);

// Keeps the conversation alive (answering the client's messages) for ms
// milliseconds, the way a planetarium busy with a slow command would.
void PumpMessagesFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitRequested = true;
            } else {
                HandleMessage(message);
            }
        }
        Sleep(5);
    }
}

// Posts a DDE message to the client; on failure frees what the message would
// have handed over. Returns whether it was posted.
bool PostToClient(HWND client, HWND server, UINT type, UINT_PTR low, ATOM item) {
    const LPARAM packed = PackDDElParam(type, low, item);
    if (PostMessageA(client, type, reinterpret_cast<WPARAM>(server), packed)) return true;
    FreeDDElParam(type, packed);
    return false;
}

// Posts a data message with block to the client; returns whether it was
// posted, and frees the block when it was not. Windows hands the block over
// to the client, which frees it. Under Wine the client receives a copy and
// nobody frees the stand-in's block: after 65535 messages the stand-in would
// have no memory handles left and post nothing more, so under Wine it frees
// the block once the message is on its way.
bool PostDataToClient(HWND client, HWND server, HGLOBAL block, ATOM item) {
    const bool posted =
        PostToClient(client, server, WM_DDE_DATA, reinterpret_cast<UINT_PTR>(block), item);
    if (!posted || underWine) GlobalFree(block);
    return posted;
}

// The data message for a request (response) or an advise: a block the client
// takes over, holding the header and then exactly the item's bytes (the
// header's size counted up to Value, not with sizeof, or the client would see
// the padding as data).
HGLOBAL DataBlockOf(const std::vector<BYTE>& bytes, UINT format, bool response) {
    const SIZE_T header = FIELD_OFFSET(DDEDATA, Value);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, header + bytes.size());
    if (block == nullptr) return nullptr;
    DDEDATA* data = static_cast<DDEDATA*>(GlobalLock(block));
    if (data == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memset(data, 0, header);
    data->fResponse = response ? 1 : 0;
    data->fRelease = 1;
    data->cfFormat = static_cast<short>(format);
    if (!bytes.empty()) {
        std::memcpy(reinterpret_cast<BYTE*>(data) + header, bytes.data(), bytes.size());
    }
    GlobalUnlock(block);
    return block;
}

// Answers a client's WM_DDE_REQUEST as Windows' DDE library does: the data
// alone, or a negative acknowledgement when there is none. The reply reuses
// the client's item atom, which the client deletes when the reply arrives;
// when no reply can be sent, the stand-in deletes it instead.
void AnswerRequest(const MSG& message) {
    const HWND server = message.hwnd;
    const HWND client = reinterpret_cast<HWND>(message.wParam);
    UINT_PTR low = 0, high = 0;
    UnpackDDElParam(WM_DDE_REQUEST, message.lParam, &low, &high);
    FreeDDElParam(WM_DDE_REQUEST, message.lParam);
    const UINT format = static_cast<UINT>(low & 0xFFFF);
    const ATOM item = static_cast<ATOM>(high);

    // What is answered is the item as it is now, whatever changes while the
    // answer is held.
    const std::vector<BYTE> bytes = currentItem;
    const long size = settings.refuseRequest ? -1 : static_cast<long>(bytes.size());
    LogLine("REQUEST item=" + NameOfAtom(item) + " format=" + std::to_string(format) +
            " size=" + std::to_string(size));
    if (settings.holdRequestMs > 0) PumpMessagesFor(settings.holdRequestMs);

    // The conversation may have ended while the answer was held.
    bool posted = false;
    if (IsWindow(server) && IsWindow(client)) {
        if (settings.refuseRequest) {
            posted = PostToClient(client, server, WM_DDE_ACK, 0, item);
        } else if (HGLOBAL block = DataBlockOf(bytes, format, true)) {
            posted = PostDataToClient(client, server, block, item);
        }
    }
    if (!posted) GlobalDeleteAtom(item);
}

// Handles one message of the stand-in's thread, in the main loop and in the
// loops that hold a poke or a request alike. A request comes to the window
// of its conversation; one posted to the thread, window-less, belongs to no
// conversation and its atom to nobody the stand-in knows, so it is left alone.
void HandleMessage(const MSG& message) {
    if (message.message == WM_DDE_REQUEST && message.hwnd != nullptr) {
        AnswerRequest(message);
        return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

void ForgetAdviseLink(HCONV conversation) {
    for (auto link = adviseLinks.begin(); link != adviseLinks.end(); ++link) {
        if (*link == conversation) {
            adviseLinks.erase(link);
            return;
        }
    }
}

// Ends the conversations whose client has gone without a word (a process that
// was killed sends no terminate). The DDE library would keep their links, and
// Wine's DdePostAdvise gives up at the first link it cannot post to, so that
// the links after it, of clients still running, would receive nothing.
// DdeDisconnect does not end a server's side of a conversation under Wine;
// the terminate the client never sent does, handed to the conversation's
// window as if it came from the client.
void DropVanishedClients() {
    std::size_t i = 0;
    while (i < adviseLinks.size()) {
        const HCONV conversation = adviseLinks[i];
        CONVINFO info = {};
        info.cb = sizeof info;
        const bool known = DdeQueryConvInfo(conversation, QID_SYNC, &info) != 0;
        if (known && IsWindow(info.hwndPartner)) {
            ++i;
            continue;
        }
        adviseLinks.erase(adviseLinks.begin() + i);
        if (!known) continue;  // already ended; its disconnect was logged
        // Logged here unless the library reports this end to the callback too.
        const unsigned long before = disconnectsLogged;
        SendMessageA(info.hwnd, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(info.hwndPartner), 0);
        if (disconnectsLogged == before) LogDisconnect();
    }
}

// Sends the item to every advise link, as Windows' DDE library does for
// DdePostAdvise: one data message to each client, carrying a reference to the
// item's atom, which the client deletes as the data arrives, and asking for
// no acknowledgement. The stand-in posts them itself: under Wine,
// DdePostAdvise adds one atom reference for all the links (the atom vanishes
// under the later clients, which then drop what they receive), gives up at
// the first link it cannot post to, and stops delivering altogether after
// 65535 messages (see PostDataToClient). Returns whether every link was sent
// the item.
bool PostAdviseToLinks() {
    DropVanishedClients();
    bool all = true;
    for (const HCONV conversation : adviseLinks) {
        CONVINFO info = {};
        info.cb = sizeof info;
        HGLOBAL block = nullptr;
        const ATOM item = GlobalAddAtomA("DdeData");
        const bool posted = DdeQueryConvInfo(conversation, QID_SYNC, &info) != 0 &&
                            (block = DataBlockOf(currentItem, CF_TEXT, false)) != nullptr &&
                            PostDataToClient(info.hwndPartner, info.hwnd, block, item);
        if (!posted) {
            GlobalDeleteAtom(item);
            all = false;
        }
    }
    return all;
}

// Sends each queued value of the item to every advise link, in order.
void AdvisePending() {
    while (!pendingAdvises.empty()) {
        currentItem = pendingAdvises.front();
        pendingAdvises.erase(pendingAdvises.begin());
        const bool advised = PostAdviseToLinks();
        LogLine("ADVISE size=" + std::to_string(currentItem.size()) + (advised ? "" : " failed"));
    }
}

// Gives the item a new value, to be advised by the message loop.
void ChangeItem(const std::vector<BYTE>& bytes) {
    currentItem = bytes;
    pendingAdvises.push_back(bytes);
}

// The commands the planetarium runs: the version 2 DDE vocabulary. Any other
// first word it answers with "Failed! Bad command name".
const char* const kKnownCommands[] = {
    "ZOM+", "ZOM-", "GOXY", "IDXY", "MOVE", "FIND", "DATE", "OBSL",
    "STA+", "STA-", "NEB+", "NEB-", "GREQ", "GRAZ", "GRNM", "CONL",
    "CONB", "EQAZ", "SBMP", "SGIF", "SJPG", "PDSS", "LOAD", "SAVE",
};

bool IsKnownCommand(const std::string& command) {
    const std::string word = command.substr(0, command.find(' '));
    for (const char* known : kKnownCommands) {
        if (word == known) return true;
    }
    return false;
}

// The time of a change as the planetarium writes it in the item's first
// line: now, in the PC's short date and long time formats.
std::string ChangeTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[128] = "";
    char time[128] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof time);
    return std::string(date) + ' ' + time;
}

// The item of five lines, separated by CR LF and ended by a NUL.
std::vector<BYTE> ItemOfLines(const std::string& time, const std::string& centre,
                              const std::string& status, const std::string& date,
                              const std::string& observatory) {
    return BytesOfText(time + "\r\n" + centre + "\r\n" + status + "\r\n" + date + "\r\n" +
                       observatory + '\0');
}

// The item of a planetarium that has shown its chart of M 31 and identified
// the galaxy; the degree sign is the ANSI byte 0xB0.
std::vector<BYTE> ChartItem() {
    return ItemOfLines(ChangeTime(),
                       "RA: 00h42m44.30s DEC:+41\xB0" "16'09.0\" FOV:+01\xB0" "00'00\"",
                       " 00h42m44.30s +41\xB0" "16'09.0\"   Gx M 31 m: 3.44 Andromeda Galaxy",
                       "2026-12-08T13:41:15",
                       "LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Switzerland/Test");
}

// What the planetarium reports after a poke: when, whether the command was
// run (ACK) or not (NAK), and its result in the status line; the chart's
// lines stay empty.
std::vector<BYTE> EchoOf(const std::vector<BYTE>& poked) {
    std::string command;
    for (BYTE b : poked) {
        if (b == 0) break;
        command += static_cast<char>(b);
    }
    const bool known = IsKnownCommand(command);
    return ItemOfLines(ChangeTime() + (known ? " ACK" : " NAK"), "",
                       known ? "OK!" : "Failed! Bad command name", "", "");
}

HDDEDATA CALLBACK OnDdeEvent(UINT type, UINT format, HCONV conversation, HSZ name1, HSZ name2,
                             HDDEDATA data, ULONG_PTR, ULONG_PTR) {
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
            if (!refuse && settings.echoPokes) ChangeItem(EchoOf(bytes));
            return reinterpret_cast<HDDEDATA>(refuse ? DDE_FNOTPROCESSED : DDE_FACK);
        }
        case XTYP_REQUEST: {
            // Only reached if the DDE library handles a request itself (the
            // message loop answers them before it can); answered the same way.
            const long size = settings.refuseRequest ? -1 : static_cast<long>(currentItem.size());
            LogLine("REQUEST item=" + NameOf(name2) + " format=" + std::to_string(format) +
                    " size=" + std::to_string(size));
            const std::vector<BYTE> bytes = currentItem;
            if (settings.holdRequestMs > 0) PumpMessagesFor(settings.holdRequestMs);
            if (settings.refuseRequest) return nullptr;
            return DataHandleOf(bytes, name2, format);
        }
        case XTYP_ADVSTART: {
            const bool accept = !settings.refuseAdvise && format == CF_TEXT &&
                                DdeCmpStringHandles(name2, itemName) == 0;
            LogLine("ADVSTART item=" + NameOf(name2) + " format=" + std::to_string(format) +
                    (accept ? "" : " refused"));
            if (accept) {
                ForgetAdviseLink(conversation);
                adviseLinks.push_back(conversation);
            }
            return reinterpret_cast<HDDEDATA>(accept ? TRUE : FALSE);
        }
        case XTYP_ADVSTOP:
            LogLine("ADVSTOP item=" + NameOf(name2) + " format=" + std::to_string(format));
            ForgetAdviseLink(conversation);
            return nullptr;
        case XTYP_DISCONNECT:
            LogDisconnect();
            ForgetAdviseLink(conversation);
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
            settings.serve = true;
            if (!ReadWholeFile(argv[++i], settings.served)) return false;
        } else if (option == "--refuse-request") {
            settings.refuseRequest = true;
        } else if (option == "--hold-request" && hasValue) {
            settings.holdRequestMs = std::strtoul(argv[++i], nullptr, 10);
        } else if (option == "--refuse-advise") {
            settings.refuseAdvise = true;
        } else if (option == "--echo-pokes") {
            settings.echoPokes = true;
        } else if (option == "--tick" && hasValue) {
            // No ticks at all is the default; --tick 0 would only flood the log.
            settings.tickMs = std::strtoul(argv[++i], nullptr, 10);
            if (settings.tickMs == 0) return false;
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
    if (quitRequested) return true;
    if (GetTickCount() - startTicks >= settings.lifetimeSeconds * 1000) return true;
    if (settings.endAfterPokes > 0 && pokesAnswered >= settings.endAfterPokes) return true;
    return !settings.stopFile.empty() &&
           GetFileAttributesA(settings.stopFile.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Makes the item the next "TICK <n>" and advises it.
void Tick() {
    ++ticksAdvised;
    ChangeItem(BytesOfText("TICK " + std::to_string(ticksAdvised) + '\0'));
    AdvisePending();
}

// Handles the thread's messages until the stand-in should stop, advising
// what the pokes changed after each message and ticking on time. It waits
// for messages with a time-out rather than in GetMessage so that it ticks
// to the millisecond (a thread timer fires no more often than every 10 ms)
// and looks at the end conditions at least every 50 ms.
void RunMessageLoop() {
    const DWORD startTicks = GetTickCount();
    DWORD nextTick = startTicks + settings.tickMs;
    // Each pass makes at most one tick and handles at most one message, so
    // that neither can starve the other however short the tick.
    while (!ShouldStop(startTicks)) {
        if (settings.tickMs > 0 && static_cast<LONG>(GetTickCount() - nextTick) >= 0) {
            Tick();
            nextTick += settings.tickMs;
            // Behind by more than a tick: go on from now rather than advising
            // a burst of values nobody could tell apart.
            if (static_cast<LONG>(GetTickCount() - nextTick) >= 0) {
                nextTick = GetTickCount() + settings.tickMs;
            }
        }
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            HandleMessage(message);
            AdvisePending();
            continue;
        }
        DWORD waitMs = 50;
        if (settings.tickMs > 0) {
            const LONG untilTick = static_cast<LONG>(nextTick - GetTickCount());
            if (untilTick <= 0) {
                waitMs = 0;
            } else if (static_cast<DWORD>(untilTick) < waitMs) {
                waitMs = static_cast<DWORD>(untilTick);
            }
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace

int RunDdeStandIn(int argc, char** argv) {
    if (!ParseSettings(argc, argv)) {
        std::fputs("usage: StandInPlanetarium --log FILE [--hold-poke MS] [--hold-poke-of TEXT MS]\n"
                   "       [--refuse-poke] [--refuse-poke-of TEXT] [--end-after-pokes N]\n"
                   "       [--serve FILE] [--refuse-request] [--hold-request MS]\n"
                   "       [--refuse-advise] [--echo-pokes] [--tick MS]\n"
                   "       [--stop-file FILE] [--lifetime SECONDS]\n",
                   stderr);
        return 2;
    }
    currentItem = settings.serve ? settings.served : ChartItem();
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    underWine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
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
    itemName = DdeCreateStringHandleA(instance, "DdeData", CP_WINANSI);
    if (DdeNameService(instance, serviceName, nullptr, DNS_REGISTER) == nullptr) {
        std::fputs("StandInPlanetarium: cannot register service ciel\n", stderr);
        return 2;
    }
    LogLine("READY");

    RunMessageLoop();

    LogLine("END");
    DdeNameService(instance, serviceName, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(instance, serviceName);
    DdeFreeStringHandle(instance, topicName);
    DdeFreeStringHandle(instance, itemName);
    DdeUninitialize(instance);
    std::fclose(logFile);
    return 0;
}
