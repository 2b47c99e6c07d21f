// The TCP interface of the stand-in planetarium (StandInPlanetarium --tcp;
// on Linux the only one): a stand-in for the command server of Cartes du Ciel
// version 3 and later, for the tests. It listens on 127.0.0.1, talks to its
// clients as the planetarium does, and writes one line per event to a log
// file, flushed at once so that a test can read it while the stand-in runs:
//
//   READY port=<n>                      listening on port n; clients may connect
//   CONNECT client=<k>                  connection k (1, 2, 3 ... in the order
//                                       they came) was accepted and greeted
//   CONNECT client=<k> unserved         connection k was accepted while every
//                                       slot was taken: it is never greeted,
//                                       never read and never answered
//   COMMAND client=<k> hex=<bytes> text=<bytes, readable>
//                                       connection k sent a command line: its
//                                       exact bytes without the CR LF that
//                                       ended it (hex upper-case; text shows
//                                       printable ASCII as it is, anything
//                                       else as \xHH)
//   DISCONNECT client=<k>               connection k ended: the client closed
//                                       it or sent QUIT or EXIT, or the
//                                       stand-in is ending (then also for
//                                       each unserved connection)
//   DROPPED client=<k>                  the stand-in closed connection k for
//                                       misbehaving: more than 1024 bytes sent
//                                       and not yet taken as commands (it is
//                                       told Bye! first), or more than 1 MiB
//                                       of replies it does not read (closed at
//                                       once)
//   END                                 the stand-in is ending
//
// The conversation, as the planetarium holds it:
// - Each client is greeted with "OK! id=<slot> chart=Chart_1", its slot the
//   lowest of 1..10 free. An eleventh client at once is accepted but never
//   greeted nor served, not even once a slot is free again (at most 32 such
//   are kept open; any more are closed at once).
// - Every line sent ends in CR LF, and a command line ends only at CR LF (a
//   bare CR or LF belongs to the command). The command word is
//   case-insensitive; the arguments are split at blanks (runs of blanks count
//   as one, a TAB does not split), and "..." groups an argument, the quotes
//   removed.
// - Each command is answered in order by one reply: OK!, OK! and a value, a
//   line beginning Failed!, or Not found!. An unknown or empty command:
//   "Failed! Bad command name". Commands of all clients run one at a time:
//   while one is held (--delay), the others wait, greetings included.
// - More than 1024 bytes received from a client and not yet taken as commands
//   (one long line, or commands sent ahead of their replies): Bye! and the
//   connection is closed.
// - A line that is exactly QUIT or EXIT (any case): Bye! and the connection is
//   closed. SHUTDOWN: OK!, then Bye! to every client, and the stand-in ends.
// - Identifying an object sends an event line to every greeted client:
//   ">" TAB "Chart_1 :" TAB and the object's description (UTF-8, the degree
//   sign C2 B0), e.g.
//     >\tChart_1 :\t 00h44m14.08s\t+41°25'17.6"\t Gx\tM 31\tm: 4.29\t...
//   On the connection whose command identified it, the event line comes
//   before the command's reply.
//
// The chart: centred on M 31 (GETRA "OK! 00h44m14s", GETDEC "OK! +41d25m18s"),
// field "OK! +01d00m00s" (GETFOV), date "OK! 2026-12-08T13:41:15" (GETDATE),
// observatory "OK! LAT:+46d12m00sLON:-06d06m00sALT:400mOBS:Switzerland/Test"
// (GETOBS); GETRA, GETDEC and GETFOV with the argument F answer in decimal
// ("OK! 0.73724", hours or degrees). The commands that act on it:
//   ZOM+ ZOOM+ / ZOM- ZOOM-   halve / double the field (1" to 360°)
//   SETFOV f                  the field: 01d30m00s or 1.5
//   SETRA r, SETDEC d         the centre: RA:00h42m44s or 0.712, DEC:+41d16m00s
//   MOVE RA:r DEC:d FOV:f     all three; a value that does not read (as after
//                             "RA: " with a blank) is left as it was
//   DATE t, SETDATE t         the date, YYYY-MM-DDThh:mm:ss (or with a blank
//                             for the T, in quotes)
//   OBSL o, SETOBS o          the observatory, LAT:+46d12m00sLON:-06d06m00s
//                             ALT:400mOBS:name, its arguments joined without
//                             blanks; the bytes of the name are kept exactly
//                             as received (no encoding is checked) and GETOBS
//                             gives them back unchanged
//   SEARCH name [LOCK], FIND class name
//                             M31 (also "M 31" or M 31), M42, VEGA or HR7001
//                             (any case): centre the chart on it, identify it,
//                             OK!; any other name: Not found!
//   IDXY x y, IDCENTER, IDCURSOR
//                             identify the catalogue object nearest the centre
//   REDRAW, RFSH, MOVE        also send the event of the identified object
//                             again, if there is one, as each redraw does
//   GETSELECTEDOBJECT         bare Failed! until an object is identified, then
//                             "OK! " and its description
//   GETMSGBOX, GETCOORBOX     two lines: "OK! " and a text, then a second line
//   GETOBJECTLIST             a line per catalogue object, then an empty line
//                             (no OK!)
//   ?                         a line per command word known ("WORD" or "WORD
//                             arguments"), an empty line, then OK!
//   ? WORD                    that word's line, an empty line and OK!; Not
//                             found! for a word unknown
// The other kept version-2 words (GOXY STA+ STA- NEB+ NEB- GREQ GRAZ GRNM CONL
// CONB EQAZ SBMP SGIF SJPG PDSS) answer OK! and do nothing.
//
// Options:
//   --log FILE          where to write the log (required)
//   --port N            the port to listen on (default 0: the system chooses)
//   --port-file FILE    write the port listened on to FILE as decimal digits
//                       with no line end, as the planetarium publishes it, and
//                       "0" there when ending in good order (not after
//                       --close-after, as a crashed planetarium leaves its
//                       stale port)
//   --greeting TEXT     greet with TEXT instead (e.g. "Failed! Cannot activate
//                       a chart."); the client is served all the same
//   --max-clients N     serve at most N clients at once (0 to 10, default 10)
//   --delay MS          wait MS milliseconds before answering each command
//   --delay-of WORD MS  the same, only for commands whose word is WORD (any
//                       case); delays that apply add up
//   --close-after N     once N commands in all have been answered (QUIT and
//                       EXIT do not count), close every connection without
//                       Bye! and end, as a planetarium that crashes
//   --keep-alive MS     send a lone "." line to each greeted client after MS
//                       milliseconds in which nothing was sent to it, as
//                       version 4.2 and older do (1 or more)
//   --endless-reply-of WORD
//                       answer commands whose word is WORD with "OK! " and
//                       then bytes without end and with no line end, for as
//                       long as the client reads them, as a faulty server
//                       would; what that client sends after it is read and
//                       ignored
//   --events-every MS   every MS milliseconds (1 or more) identify an object
//                       (the one identified last, or M 31) and send its event
//                       line to every greeted client, as clicks on the chart
//                       would
//   --stop-file FILE    end once FILE exists (Bye! to every client, as the
//                       planetarium closing)
//   --lifetime SECONDS  end after this long in any case (default 120)
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "stand_in_log.h"
#include "stand_in_tcp.h"

namespace {

// ---- What differs between Winsock and POSIX sockets ----

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;

void CloseSocket(Socket s) { closesocket(s); }

bool SocketWouldBlock() {
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool MakeNonBlocking(Socket s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

void EndSending(Socket s) { shutdown(s, SD_SEND); }

std::uint64_t NowMs() { return GetTickCount64(); }

void SleepMs(unsigned long ms) { Sleep(ms); }

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether select can watch the socket: Winsock's sets hold sockets, not
// numbers, and the stand-in never watches more than a dozen.
bool Watchable(Socket) { return true; }
#else
using Socket = int;
const Socket kNoSocket = -1;

void CloseSocket(Socket s) { close(s); }

bool SocketWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

bool MakeNonBlocking(Socket s) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

void EndSending(Socket s) { shutdown(s, SHUT_WR); }

std::uint64_t NowMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void SleepMs(unsigned long ms) {
    timespec wait = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// select's sets hold descriptor numbers below FD_SETSIZE only.
bool Watchable(Socket s) { return s >= 0 && s < FD_SETSIZE; }
#endif

// Sends what the socket takes now. Returns the bytes sent, 0 when it takes
// nothing now, -1 when the connection has failed.
long SendSome(Socket s, const char* data, std::size_t size) {
    const int chunk = static_cast<int>(size < 65536 ? size : 65536);
#ifdef _WIN32
    const int sent = send(s, data, chunk, 0);
#else
    const long sent = send(s, data, static_cast<std::size_t>(chunk), MSG_NOSIGNAL);
#endif
    if (sent >= 0) return static_cast<long>(sent);
    return SocketWouldBlock() ? 0 : -1;
}

// Receives up to size bytes. Returns the bytes received, 0 when the client
// has closed the connection, -1 when it failed, -2 when nothing is there now.
long ReceiveSome(Socket s, char* data, std::size_t size) {
    const int chunk = static_cast<int>(size < 65536 ? size : 65536);
#ifdef _WIN32
    const int got = recv(s, data, chunk, 0);
#else
    const long got = recv(s, data, static_cast<std::size_t>(chunk), 0);
#endif
    if (got >= 0) return static_cast<long>(got);
    return SocketWouldBlock() ? -2 : -1;
}

// ---- Settings ----

struct WordDelay {
    std::string word;  // upper case
    unsigned long ms = 0;
};

struct TcpSettings {
    std::string logPath;
    unsigned long port = 0;
    std::string portFile;
    bool greetingGiven = false;
    std::string greeting;
    unsigned long maxClients = 10;
    unsigned long delayMs = 0;
    std::vector<WordDelay> wordDelays;
    unsigned long closeAfter = 0;  // 0: never
    unsigned long keepAliveMs = 0;  // 0: no keep-alives
    std::vector<std::string> endlessWords;  // upper case
    unsigned long eventsEveryMs = 0;  // 0: no events of its own
    std::string stopFile;
    unsigned long lifetimeSeconds = 120;
};

// The most a client may send ahead of what was taken as commands, as the
// planetarium's line reader allows.
const std::size_t kMaxUnread = 1024;
// Replies a client leaves unread beyond this are not kept: the client is dropped.
const std::size_t kMaxUnsent = 1024 * 1024;
// An endless reply is topped up to this much whenever less is waiting.
const std::size_t kEndlessChunk = 64 * 1024;
// Connections kept open though never served; more are closed at once.
const std::size_t kMaxUnserved = 32;
// How long a connection being closed in good order may take to read its last
// lines (Bye!) and hang up before it is closed all the same (closing it while
// it still sends would reset it, and its Bye! might be lost); and, when the
// stand-in ends, how long it waits for all of them.
const unsigned long kClosingMs = 2000;
const unsigned long kEndingMs = 500;
const char kCrLf[] = "\r\n";
const char kChartName[] = "Chart_1";
const char kDegree[] = "\xC2\xB0";

bool ParseCount(const char* text, unsigned long max, unsigned long& value) {
    if (*text == '\0') return false;
    unsigned long result = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        result = result * 10 + static_cast<unsigned long>(*p - '0');
        if (result > max) return false;
    }
    value = result;
    return true;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool ParseSettings(int argc, char** argv, TcpSettings& settings) {
    const unsigned long kMaxMs = 24UL * 3600 * 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--log" && hasValue) {
            settings.logPath = argv[++i];
        } else if (option == "--port" && hasValue) {
            if (!ParseCount(argv[++i], 65535, settings.port)) return false;
        } else if (option == "--port-file" && hasValue) {
            settings.portFile = argv[++i];
        } else if (option == "--greeting" && hasValue) {
            settings.greetingGiven = true;
            settings.greeting = argv[++i];
        } else if (option == "--max-clients" && hasValue) {
            if (!ParseCount(argv[++i], 10, settings.maxClients)) return false;
        } else if (option == "--delay" && hasValue) {
            if (!ParseCount(argv[++i], kMaxMs, settings.delayMs)) return false;
        } else if (option == "--delay-of" && i + 2 < argc) {
            WordDelay delay;
            delay.word = UpperAscii(argv[i + 1]);
            if (!ParseCount(argv[i + 2], kMaxMs, delay.ms)) return false;
            settings.wordDelays.push_back(delay);
            i += 2;
        } else if (option == "--close-after" && hasValue) {
            if (!ParseCount(argv[++i], 0xFFFFFFFFUL, settings.closeAfter)) return false;
        } else if (option == "--keep-alive" && hasValue) {
            // No keep-alives is the default; 0 would only flood the clients.
            if (!ParseCount(argv[++i], kMaxMs, settings.keepAliveMs)) return false;
            if (settings.keepAliveMs == 0) return false;
        } else if (option == "--endless-reply-of" && hasValue) {
            settings.endlessWords.push_back(UpperAscii(argv[++i]));
        } else if (option == "--events-every" && hasValue) {
            if (!ParseCount(argv[++i], kMaxMs, settings.eventsEveryMs)) return false;
            if (settings.eventsEveryMs == 0) return false;
        } else if (option == "--stop-file" && hasValue) {
            settings.stopFile = argv[++i];
        } else if (option == "--lifetime" && hasValue) {
            if (!ParseCount(argv[++i], 10UL * 24 * 3600, settings.lifetimeSeconds)) return false;
        } else {
            return false;
        }
    }
    return !settings.logPath.empty();
}

// ---- Numbers as the planetarium writes and reads them ----

// printf into a string sized to fit.
std::string Printed(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

// An angle as sign, degrees (at least two digits), minutes and seconds, e.g.
// +41d25m18s; the seconds rounded, so that 59.6 s carries into the minute.
std::string SignedDms(double degrees) {
    const char sign = degrees < 0 ? '-' : '+';
    const long long seconds = std::llround(std::fabs(degrees) * 3600.0);
    return Printed("%c%02lldd%02lldm%02llds", sign, seconds / 3600, seconds / 60 % 60,
                   seconds % 60);
}

// Hours as 00h44m14s, wrapped into one day.
std::string Hms(double hours) {
    long long seconds = std::llround(hours * 3600.0) % 86400;
    if (seconds < 0) seconds += 86400;
    return Printed("%02lldh%02lldm%02llds", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string Decimal(double value) { return Printed("%.5f", value); }

// Reads an unsigned decimal number (digits, an optional point and digits)
// at text[pos], moving pos past it.
bool ReadNumber(const std::string& text, std::size_t& pos, double& value) {
    const std::size_t start = pos;
    double result = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        result = result * 10 + (text[pos] - '0');
        ++pos;
    }
    bool digits = pos > start;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        double scale = 0.1;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            result += (text[pos] - '0') * scale;
            scale /= 10;
            ++pos;
            digits = true;
        }
    }
    value = result;
    return digits;
}

// Reads an angle written as [sign]A<unit>B m C s (unit 'h' for hours, 'd' or
// the one-byte degree sign 0xB0 for degrees; the seconds' s may be left out),
// or as a signed decimal number, after an optional prefix such as "RA:".
// The whole text must be read.
bool ReadAngle(std::string text, const std::string& prefix, char unit, double& value) {
    if (!prefix.empty() && UpperAscii(text.substr(0, prefix.size())) == prefix) {
        text.erase(0, prefix.size());
    }
    std::size_t pos = 0;
    double sign = 1;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
    }
    double whole = 0;
    if (!ReadNumber(text, pos, whole)) return false;
    if (pos == text.size()) {
        value = sign * whole;
        return true;
    }
    const char c = text[pos];
    const bool unitMatches = (c == unit || c == unit - 'a' + 'A') ||
                             (unit == 'd' && static_cast<unsigned char>(c) == 0xB0);
    if (!unitMatches) return false;
    ++pos;
    double minutes = 0, seconds = 0;
    if (!ReadNumber(text, pos, minutes) || pos >= text.size() ||
        (text[pos] != 'm' && text[pos] != 'M')) {
        return false;
    }
    ++pos;
    if (!ReadNumber(text, pos, seconds)) return false;
    if (pos < text.size() && (text[pos] == 's' || text[pos] == 'S')) ++pos;
    if (pos != text.size()) return false;
    value = sign * (whole + minutes / 60 + seconds / 3600);
    return true;
}

// ---- The chart and its catalogue ----

struct CatalogueObject {
    std::vector<std::string> names;  // upper case, without blanks
    double raHours;
    double decDegrees;
    std::string description;
};

const std::vector<CatalogueObject>& Catalogue() {
    static const std::vector<CatalogueObject> objects = {
        {{"M31", "NGC224", "ANDROMEDA"},
         0.73724444,
         41.42155556,
         std::string(" 00h44m14.08s\t+41") + kDegree +
             "25'17.6\"\t Gx\tM 31\tm: 4.29\tdim:199.5'x70.8'\tpa:35\tconst:And\t"
             "desc:Andromeda galaxy"},
        {{"M42", "NGC1976", "ORION"},
         5.60545000,
         -5.37477778,
         std::string(" 05h36m19.62s\t-05") + kDegree +
             "22'29.2\"\t Nb\tM 42\tm: 4.00\tdim:85.0'x60.0'\tconst:Ori\tdesc:Orion nebula"},
        {{"VEGA", "HR7001", "ALPHALYR"},
         18.62914722,
         38.80622222,
         std::string(" 18h37m44.93s\t+38") + kDegree +
             "48'22.4\"\t *\tHR 7001\tmV: 0.03\tsp:A0Va\tconst:Lyr\tname:Vega"},
    };
    return objects;
}

struct Chart {
    double raHours = Catalogue()[0].raHours;
    double decDegrees = Catalogue()[0].decDegrees;
    double fovDegrees = 1.0;
    std::string date = "2026-12-08T13:41:15";
    double latitude = 46.2;
    double longitude = -6.1;
    double altitude = 400;
    std::string observatory = "Switzerland/Test";  // bytes as received
    const CatalogueObject* identified = nullptr;
};

const CatalogueObject* FindObject(const std::string& name) {
    std::string key;
    for (char c : UpperAscii(name)) {
        if (c != ' ') key += c;
    }
    for (const CatalogueObject& object : Catalogue()) {
        for (const std::string& known : object.names) {
            if (known == key) return &object;
        }
    }
    return nullptr;
}

// The catalogue object nearest the chart's centre.
const CatalogueObject* ObjectAtCentre(const Chart& chart) {
    const double toRadians = 3.14159265358979323846 / 180;
    const CatalogueObject* nearest = nullptr;
    double best = -2;
    for (const CatalogueObject& object : Catalogue()) {
        const double cosine =
            std::sin(chart.decDegrees * toRadians) * std::sin(object.decDegrees * toRadians) +
            std::cos(chart.decDegrees * toRadians) * std::cos(object.decDegrees * toRadians) *
                std::cos((chart.raHours - object.raHours) * 15 * toRadians);
        if (cosine > best) {
            best = cosine;
            nearest = &object;
        }
    }
    return nearest;
}

// The date as YYYY-MM-DDThh:mm:ss, the T given as T or a blank.
bool ReadDate(const std::string& text, std::string& date) {
    const char* pattern = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != std::strlen(pattern)) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (pattern[i] == 'd') {
            if (c < '0' || c > '9') return false;
        } else if (pattern[i] == 'T') {
            if (c != 'T' && c != 't' && c != ' ') return false;
        } else if (c != pattern[i]) {
            return false;
        }
    }
    date = text;
    date[10] = 'T';
    return true;
}

// The command words the stand-in knows, with what their arguments look like,
// in the order ? lists them.
struct CommandWord {
    const char* word;
    const char* arguments;
};

const CommandWord kCommandWords[] = {
    {"SEARCH", "name [LOCK]"},
    {"FIND", "class name"},
    {"GETMSGBOX", ""},
    {"GETCOORBOX", ""},
    {"?", "[WORD]"},
    {"SHUTDOWN", ""},
    {"GETSELECTEDOBJECT", ""},
    {"ZOOM+", ""},
    {"ZOOM-", ""},
    {"SETFOV", "01d00m00s or 1.0"},
    {"SETRA", "RA:00h00m00s or 0.0"},
    {"SETDEC", "DEC:+00d00m00s or 0.0"},
    {"SETOBS", "LAT:+00d00m00sLON:+000d00m00sALT:000mOBS:name"},
    {"SETDATE", "YYYY-MM-DDThh:mm:ss"},
    {"IDCURSOR", ""},
    {"IDCENTER", ""},
    {"REDRAW", ""},
    {"GETFOV", "[F]"},
    {"GETRA", "[F]"},
    {"GETDEC", "[F]"},
    {"GETDATE", ""},
    {"GETOBS", ""},
    {"GETOBJECTLIST", ""},
    {"MOVE", "RA:00h00m00s DEC:+00d00m00s FOV:+00d00m00s"},
    {"DATE", "YYYY-MM-DDThh:mm:ss"},
    {"OBSL", "LAT:+00d00m00sLON:+000d00m00sALT:000mOBS:name"},
    {"RFSH", ""},
    {"PDSS", ""},
    {"SBMP", "file"},
    {"SGIF", "file"},
    {"SJPG", "file [quality]"},
    {"IDXY", "X:x Y:y"},
    {"GOXY", "X:x Y:y"},
    {"ZOM+", ""},
    {"ZOM-", ""},
    {"STA+", ""},
    {"STA-", ""},
    {"NEB+", ""},
    {"NEB-", ""},
    {"GREQ", ""},
    {"GRAZ", ""},
    {"GRNM", ""},
    {"CONL", ""},
    {"CONB", ""},
    {"EQAZ", ""},
};

std::string HelpLine(const CommandWord& command) {
    std::string line = command.word;
    if (*command.arguments != '\0') line += std::string(" ") + command.arguments;
    return line;
}

// Splits a command line into its words: blanks separate (a run of them as
// one), a word beginning with " runs to the next " (or the end), and the
// quotes are removed.
std::vector<std::string> SplitArguments(const std::string& line) {
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == ' ') {
            ++pos;
            continue;
        }
        std::string word;
        if (line[pos] == '"') {
            const std::size_t close = line.find('"', pos + 1);
            const std::size_t end = close == std::string::npos ? line.size() : close;
            word = line.substr(pos + 1, end - pos - 1);
            pos = close == std::string::npos ? line.size() : close + 1;
        } else {
            const std::size_t end = std::min(line.find(' ', pos), line.size());
            for (std::size_t i = pos; i < end; ++i) {
                if (line[i] != '"') word += line[i];
            }
            pos = end;
        }
        words.push_back(word);
    }
    return words;
}

// ---- The connections ----

enum class Phase {
    Serving,  // greeted; its commands are read and answered
    Endless,  // given a reply without end; what it sends is read and ignored
    Closing,  // told Bye!; its last lines are being sent before the close
};

struct Client {
    Socket socket = kNoSocket;
    unsigned long number = 0;
    unsigned long slot = 0;
    Phase phase = Phase::Serving;
    std::string unread;  // received, not yet taken as commands
    std::string unsent;  // to be sent
    std::uint64_t lastQueuedMs = 0;
    std::uint64_t closeByMs = 0;
    bool sendingEnded = false;
    bool gone = false;  // to be closed and forgotten
};

struct UnservedConnection {
    Socket socket = kNoSocket;
    unsigned long number = 0;
};

enum class Ending { None, InGoodOrder, Crash };

struct Server {
    TcpSettings settings;
    std::FILE* log = nullptr;
    Socket listener = kNoSocket;
    std::vector<Client> clients;
    std::vector<UnservedConnection> unserved;
    unsigned long connections = 0;
    unsigned long commandsAnswered = 0;
    Chart chart;
    std::uint64_t startMs = 0;
    std::uint64_t nextEventMs = 0;
    Ending ending = Ending::None;
};

void LogLine(Server& server, const std::string& line) {
    std::fputs(line.c_str(), server.log);
    std::fputc('\n', server.log);
    std::fflush(server.log);
}

std::string ClientField(const Client& client) { return "client=" + std::to_string(client.number); }

void Queue(Server& server, Client& client, const std::string& line) {
    if (client.gone) return;
    client.unsent += line;
    client.unsent += kCrLf;
    client.lastQueuedMs = NowMs();
    if (client.unsent.size() > kMaxUnsent) {
        // A client that reads nothing would make the stand-in hold its
        // replies without end.
        LogLine(server, "DROPPED " + ClientField(client));
        client.unsent.clear();
        client.gone = true;
    }
}

// Tells the client Bye! and closes its connection once that is sent.
void SayByeAndClose(Client& client) {
    client.unsent += "Bye!";
    client.unsent += kCrLf;
    client.phase = Phase::Closing;
    client.closeByMs = NowMs() + kClosingMs;
}

bool Greeted(const Client& client) { return !client.gone && client.phase == Phase::Serving; }

void SendEvent(Server& server, const CatalogueObject& object) {
    server.chart.identified = &object;
    const std::string line = std::string(">\t") + kChartName + " :\t" + object.description;
    for (Client& client : server.clients) {
        if (Greeted(client)) Queue(server, client, line);
    }
}

// Sends what the socket takes of each client's waiting lines; ends sending to
// a closing client once all is sent.
void Flush(Server& server, Client& client) {
    while (!client.gone && !client.unsent.empty()) {
        const long sent = SendSome(client.socket, client.unsent.data(), client.unsent.size());
        if (sent == 0) return;
        if (sent < 0) {
            if (client.phase != Phase::Closing) {
                LogLine(server, "DISCONNECT " + ClientField(client));
            }
            client.gone = true;
            return;
        }
        client.unsent.erase(0, static_cast<std::size_t>(sent));
    }
    if (!client.gone && client.phase == Phase::Closing && !client.sendingEnded) {
        EndSending(client.socket);
        client.sendingEnded = true;
    }
}

void FlushAll(Server& server) {
    for (Client& client : server.clients) Flush(server, client);
}

bool ShouldStop(const Server& server) {
    const TcpSettings& settings = server.settings;
    if (NowMs() - server.startMs >= static_cast<std::uint64_t>(settings.lifetimeSeconds) * 1000) {
        return true;
    }
    return !settings.stopFile.empty() && FileExists(settings.stopFile);
}

// Holds the command ms milliseconds as a busy planetarium would, serving no
// one meanwhile; cut short when the stand-in must end.
void Hold(const Server& server, unsigned long ms) {
    const std::uint64_t start = NowMs();
    while (NowMs() - start < ms && !ShouldStop(server)) {
        const std::uint64_t left = ms - (NowMs() - start);
        SleepMs(static_cast<unsigned long>(left < 20 ? left : 20));
    }
}

// ---- The commands ----

using Reply = std::vector<std::string>;

// The argument at index, or nothing.
std::string Argument(const std::vector<std::string>& words, std::size_t index) {
    return index < words.size() ? words[index] : std::string();
}

// The arguments from index on, joined with separator.
std::string Joined(const std::vector<std::string>& words, std::size_t from, const char* separator) {
    std::string joined;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (i > from) joined += separator;
        joined += words[i];
    }
    return joined;
}

bool IsDecimalRequest(const std::vector<std::string>& words) {
    return UpperAscii(Argument(words, 1)) == "F";
}

// Reads "LAT:...LON:...ALT:...mOBS:name" into the chart; returns the reply.
std::string SetObservatory(Chart& chart, const std::string& text) {
    const std::string bad = "Failed! Bad observatory format!";
    // Each field runs to the next marker (or the end of the text).
    auto field = [&text](const char* marker, std::string& value) {
        const std::size_t at = text.find(marker);
        if (at == std::string::npos) return false;
        const std::size_t start = at + std::strlen(marker);
        std::size_t end = text.size();
        for (const char* next : {"LAT:", "LON:", "ALT:", "OBS:"}) {
            const std::size_t found = text.find(next, start);
            if (found != std::string::npos && found < end) end = found;
        }
        value = text.substr(start, end - start);
        return true;
    };
    std::string latitudeText, longitudeText, altitudeText, name;
    double latitude = 0, longitude = 0, altitude = 0;
    if (!field("LAT:", latitudeText) || !field("LON:", longitudeText) ||
        !field("ALT:", altitudeText)) {
        return bad;
    }
    if (!ReadAngle(latitudeText, "", 'd', latitude) ||
        !ReadAngle(longitudeText, "", 'd', longitude)) {
        return bad;
    }
    std::size_t pos = 0;
    const bool negative = !altitudeText.empty() && altitudeText[0] == '-';
    if (negative || (!altitudeText.empty() && altitudeText[0] == '+')) pos = 1;
    if (!ReadNumber(altitudeText, pos, altitude)) return bad;
    if (negative) altitude = -altitude;
    if (latitude < -90 || latitude > 90) return "Failed! Latitude out of range";
    if (longitude < -180 || longitude > 180) return "Failed! Longitude out of range";
    if (altitude < -500 || altitude > 15000) return "Failed! Altitude out of range";
    if (!field("OBS:", name)) name = "obs?";
    // Only blanks are trimmed: every other byte of the name is kept as sent.
    const std::size_t first = name.find_first_not_of(' ');
    const std::size_t last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    chart.latitude = latitude;
    chart.longitude = longitude;
    chart.altitude = altitude;
    chart.observatory = name;
    return "OK!";
}

void SetFov(Chart& chart, double degrees) {
    const double smallest = 1.0 / 3600, largest = 360;
    chart.fovDegrees = degrees < smallest ? smallest : degrees > largest ? largest : degrees;
}

// Identifies object as a search does: centres the chart on it and sends its event.
void Identify(Server& server, const CatalogueObject& object, bool centre) {
    if (centre) {
        server.chart.raHours = object.raHours;
        server.chart.decDegrees = object.decDegrees;
    }
    SendEvent(server, object);
}

// Runs the command of words (the first upper-cased) and returns its reply,
// having sent any event line it makes. May set server.ending.
Reply RunCommand(Server& server, const std::vector<std::string>& words) {
    Chart& chart = server.chart;
    const std::string word = UpperAscii(Argument(words, 0));

    if (word == "?") {
        Reply reply;
        const std::string asked = UpperAscii(Argument(words, 1));
        for (const CommandWord& command : kCommandWords) {
            if (asked.empty() || asked == command.word) reply.push_back(HelpLine(command));
        }
        if (reply.empty()) return {"Not found!"};
        reply.push_back("");
        reply.push_back("OK!");
        return reply;
    }
    if (word == "SEARCH" || word == "FIND") {
        // SEARCH name [LOCK]; FIND class name. A name may be given in several
        // words ("M 31"): they are read together.
        std::size_t first = word == "FIND" ? 2 : 1;
        std::size_t end = words.size();
        if (word == "SEARCH" && end > first + 1 && UpperAscii(words[end - 1]) == "LOCK") --end;
        std::string name;
        for (std::size_t i = first; i < end; ++i) name += words[i];
        const CatalogueObject* object = FindObject(name);
        if (object == nullptr) return {"Not found!"};
        Identify(server, *object, true);
        return {"OK!"};
    }
    if (word == "IDXY" || word == "IDCENTER" || word == "IDCURSOR") {
        Identify(server, *ObjectAtCentre(chart), false);
        return {"OK!"};
    }
    if (word == "GETSELECTEDOBJECT") {
        if (chart.identified == nullptr) return {"Failed!"};
        return {"OK! " + chart.identified->description};
    }
    if (word == "GETMSGBOX") {
        const std::string object =
            chart.identified == nullptr ? "No object identified" : chart.identified->description;
        return {"OK! " + object, std::string("Chart ") + kChartName};
    }
    if (word == "GETCOORBOX") {
        return {"OK! RA:" + Hms(chart.raHours) + " DEC:" + SignedDms(chart.decDegrees),
                "FOV:" + SignedDms(chart.fovDegrees)};
    }
    if (word == "GETOBJECTLIST") {
        Reply reply;
        for (const CatalogueObject& object : Catalogue()) reply.push_back(object.description);
        reply.push_back("");
        return reply;
    }
    if (word == "SHUTDOWN") {
        server.ending = Ending::InGoodOrder;
        return {"OK!"};
    }
    if (word == "ZOM+" || word == "ZOOM+") {
        SetFov(chart, chart.fovDegrees / 2);
        return {"OK!"};
    }
    if (word == "ZOM-" || word == "ZOOM-") {
        SetFov(chart, chart.fovDegrees * 2);
        return {"OK!"};
    }
    if (word == "SETFOV") {
        double fov = 0;
        if (!ReadAngle(Argument(words, 1), "FOV:", 'd', fov) || fov <= 0) {
            return {"Failed! Bad FOV"};
        }
        SetFov(chart, fov);
        return {"OK!"};
    }
    if (word == "SETRA") {
        double ra = 0;
        if (!ReadAngle(Argument(words, 1), "RA:", 'h', ra) || ra < 0 || ra >= 24) {
            return {"Failed! Bad RA"};
        }
        chart.raHours = ra;
        return {"OK!"};
    }
    if (word == "SETDEC") {
        double dec = 0;
        if (!ReadAngle(Argument(words, 1), "DEC:", 'd', dec) || dec < -90 || dec > 90) {
            return {"Failed! Bad DEC"};
        }
        chart.decDegrees = dec;
        return {"OK!"};
    }
    if (word == "MOVE") {
        double ra = 0, dec = 0, fov = 0;
        if (ReadAngle(Argument(words, 1), "RA:", 'h', ra) && ra >= 0 && ra < 24) {
            chart.raHours = ra;
        }
        if (ReadAngle(Argument(words, 2), "DEC:", 'd', dec) && dec >= -90 && dec <= 90) {
            chart.decDegrees = dec;
        }
        if (ReadAngle(Argument(words, 3), "FOV:", 'd', fov) && fov > 0) SetFov(chart, fov);
        if (chart.identified != nullptr) SendEvent(server, *chart.identified);
        return {"OK!"};
    }
    if (word == "REDRAW" || word == "RFSH") {
        if (chart.identified != nullptr) SendEvent(server, *chart.identified);
        return {"OK!"};
    }
    if (word == "DATE" || word == "SETDATE") {
        if (!ReadDate(Argument(words, 1), chart.date)) return {"Failed! Bad date format"};
        return {"OK!"};
    }
    if (word == "OBSL" || word == "SETOBS") {
        return {SetObservatory(chart, Joined(words, 1, ""))};
    }
    if (word == "GETRA") {
        return {"OK! " + (IsDecimalRequest(words) ? Decimal(chart.raHours) : Hms(chart.raHours))};
    }
    if (word == "GETDEC") {
        return {"OK! " + (IsDecimalRequest(words) ? Decimal(chart.decDegrees)
                                                  : SignedDms(chart.decDegrees))};
    }
    if (word == "GETFOV") {
        return {"OK! " + (IsDecimalRequest(words) ? Decimal(chart.fovDegrees)
                                                  : SignedDms(chart.fovDegrees))};
    }
    if (word == "GETDATE") return {"OK! " + chart.date};
    if (word == "GETOBS") {
        return {"OK! LAT:" + SignedDms(chart.latitude) + "LON:" + SignedDms(chart.longitude) +
                "ALT:" + Printed("%.0f", chart.altitude) + "mOBS:" + chart.observatory};
    }
    for (const CommandWord& command : kCommandWords) {
        if (word == command.word) return {"OK!"};
    }
    return {"Failed! Bad command name"};
}

bool IsEndlessWord(const Server& server, const std::string& word) {
    for (const std::string& endless : server.settings.endlessWords) {
        if (endless == word) return true;
    }
    return false;
}

unsigned long DelayOf(const Server& server, const std::string& word) {
    unsigned long ms = server.settings.delayMs;
    for (const WordDelay& delay : server.settings.wordDelays) {
        if (delay.word == word) ms += delay.ms;
    }
    return ms;
}

void CountAnswer(Server& server) {
    ++server.commandsAnswered;
    if (server.settings.closeAfter > 0 && server.commandsAnswered >= server.settings.closeAfter) {
        server.ending = Ending::Crash;
    }
}

// Takes one command line from the client and answers it.
void Execute(Server& server, Client& client, const std::string& line) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(line.data());
    LogLine(server, "COMMAND " + ClientField(client) + " hex=" + HexOfBytes(bytes, line.size()) +
                        " text=" + ReadableOfBytes(bytes, line.size()));
    const std::string upper = UpperAscii(line);
    if (upper == "QUIT" || upper == "EXIT") {
        LogLine(server, "DISCONNECT " + ClientField(client));
        SayByeAndClose(client);
        return;
    }
    const std::vector<std::string> words = SplitArguments(line);
    const std::string word = UpperAscii(Argument(words, 0));
    const unsigned long delay = DelayOf(server, word);
    if (delay > 0) Hold(server, delay);
    if (IsEndlessWord(server, word)) {
        client.unsent += "OK! ";
        client.phase = Phase::Endless;
        CountAnswer(server);
        return;
    }
    const Reply reply = RunCommand(server, words);
    for (const std::string& replyLine : reply) Queue(server, client, replyLine);
    CountAnswer(server);
}

// Takes the client's complete command lines, one at a time, sending each
// reply before the next command runs.
void TakeCommands(Server& server, Client& client) {
    while (!client.gone && client.phase == Phase::Serving && server.ending == Ending::None) {
        const std::size_t end = client.unread.find(kCrLf);
        if (end == std::string::npos) return;
        const std::string line = client.unread.substr(0, end);
        client.unread.erase(0, end + 2);
        Execute(server, client, line);
        FlushAll(server);
    }
}

// Reads what the client sent: commands while serving it, anything else to be
// ignored; notices a client that has gone.
void Receive(Server& server, Client& client) {
    if (client.phase == Phase::Serving) {
        // One byte more than may wait unread, to tell when too much was sent.
        const std::size_t had = client.unread.size();
        const std::size_t room = kMaxUnread + 1 - had;
        client.unread.resize(had + room);
        const long got = ReceiveSome(client.socket, &client.unread[had], room);
        client.unread.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got == -2) return;
        if (got <= 0) {
            LogLine(server, "DISCONNECT " + ClientField(client));
            client.gone = true;
            return;
        }
        if (client.unread.size() > kMaxUnread) {
            LogLine(server, "DROPPED " + ClientField(client));
            client.unread.clear();
            SayByeAndClose(client);
            Flush(server, client);
            return;
        }
        TakeCommands(server, client);
        return;
    }
    std::string ignored(4096, '\0');
    const long got = ReceiveSome(client.socket, &ignored[0], ignored.size());
    if (got == -2 || got > 0) return;
    if (client.phase == Phase::Endless) LogLine(server, "DISCONNECT " + ClientField(client));
    client.gone = true;
}

void Accept(Server& server) {
    const Socket socket = accept(server.listener, nullptr, nullptr);
    if (socket == kNoSocket) return;
    const unsigned long number = ++server.connections;
    // The lowest slot no client being served holds.
    unsigned long slot = 0;
    for (unsigned long candidate = 1; candidate <= server.settings.maxClients && slot == 0;
         ++candidate) {
        bool taken = false;
        for (const Client& client : server.clients) {
            if (!client.gone && client.phase != Phase::Closing && client.slot == candidate) {
                taken = true;
            }
        }
        if (!taken) slot = candidate;
    }
    const std::string field = "client=" + std::to_string(number);
    if (slot == 0) {
        LogLine(server, "CONNECT " + field + " unserved");
        if (server.unserved.size() < kMaxUnserved) {
            server.unserved.push_back({socket, number});
        } else {
            CloseSocket(socket);
            LogLine(server, "DISCONNECT " + field);
        }
        return;
    }
    if (!Watchable(socket) || !MakeNonBlocking(socket)) {
        CloseSocket(socket);
        LogLine(server, "CONNECT " + field);
        LogLine(server, "DISCONNECT " + field);
        return;
    }
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    Client client;
    client.socket = socket;
    client.number = number;
    client.slot = slot;
    LogLine(server, "CONNECT " + field);
    server.clients.push_back(client);
    Client& added = server.clients.back();
    Queue(server, added,
          server.settings.greetingGiven
              ? server.settings.greeting
              : "OK! id=" + std::to_string(slot) + " chart=" + kChartName);
    Flush(server, added);
}

void ForgetGoneClients(Server& server) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < server.clients.size(); ++i) {
        Client& client = server.clients[i];
        if (client.gone) {
            CloseSocket(client.socket);
        } else {
            if (kept != i) server.clients[kept] = std::move(client);
            ++kept;
        }
    }
    server.clients.resize(kept);
}

// What is due by time: keep-alives, events of its own, more of an endless
// reply, the end of a close that takes too long. Returns how long the loop
// may wait for the sockets before something is due again.
unsigned long DoTimedWork(Server& server) {
    const TcpSettings& settings = server.settings;
    const std::uint64_t now = NowMs();
    std::uint64_t wait = 50;
    if (settings.eventsEveryMs > 0) {
        if (now >= server.nextEventMs) {
            const CatalogueObject* object = server.chart.identified;
            SendEvent(server, object != nullptr ? *object : Catalogue()[0]);
            server.nextEventMs += settings.eventsEveryMs;
            // Behind by more than one: go on from now rather than in a burst.
            if (server.nextEventMs <= now) server.nextEventMs = now + settings.eventsEveryMs;
        }
        if (server.nextEventMs - now < wait) wait = server.nextEventMs - now;
    }
    for (Client& client : server.clients) {
        if (settings.keepAliveMs > 0 && Greeted(client)) {
            if (now - client.lastQueuedMs >= settings.keepAliveMs) Queue(server, client, ".");
            const std::uint64_t due = client.lastQueuedMs + settings.keepAliveMs;
            if (due > now && due - now < wait) wait = due - now;
        }
        if (!client.gone && client.phase == Phase::Endless &&
            client.unsent.size() < kEndlessChunk) {
            client.unsent.append(kEndlessChunk, '#');
        }
        if (!client.gone && client.phase == Phase::Closing && now >= client.closeByMs) {
            client.gone = true;
        }
    }
    return static_cast<unsigned long>(wait);
}

// Waits up to waitMs for the sockets, then accepts, reads and sends what they allow.
void ServeSockets(Server& server, unsigned long waitMs) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    Socket highest = server.listener;
    if (server.ending == Ending::None) FD_SET(server.listener, &readable);
    for (const Client& client : server.clients) {
        if (client.gone) continue;
        FD_SET(client.socket, &readable);
        if (!client.unsent.empty()) FD_SET(client.socket, &writable);
        if (client.socket > highest) highest = client.socket;
    }
    timeval timeout = {static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
    const int ready =
        select(static_cast<int>(highest + 1), &readable, &writable, nullptr, &timeout);
    if (ready <= 0) return;
    // Clients accepted just now are served in the next pass: they were not watched.
    const std::size_t count = server.clients.size();
    if (server.ending == Ending::None && FD_ISSET(server.listener, &readable)) Accept(server);
    for (std::size_t i = 0; i < count && server.ending != Ending::Crash; ++i) {
        Client& client = server.clients[i];
        if (client.gone) continue;
        if (FD_ISSET(client.socket, &writable)) Flush(server, client);
        if (!client.gone && FD_ISSET(client.socket, &readable)) Receive(server, client);
    }
}

void WritePortFile(const Server& server, unsigned long port) {
    if (server.settings.portFile.empty()) return;
    std::FILE* file = std::fopen(server.settings.portFile.c_str(), "wb");
    if (file == nullptr) return;
    std::fputs(std::to_string(port).c_str(), file);
    std::fclose(file);
}

// Ends as the planetarium closing: Bye! to every client served, a moment for
// them to read it, then every connection closed.
void EndInGoodOrder(Server& server) {
    for (Client& client : server.clients) {
        if (client.gone || client.phase == Phase::Closing) continue;
        LogLine(server, "DISCONNECT " + ClientField(client));
        if (client.phase == Phase::Endless) {
            // Bye! would only be read as more of the endless line.
            client.gone = true;
        } else {
            SayByeAndClose(client);
        }
    }
    const std::uint64_t start = NowMs();
    while (!server.clients.empty() && NowMs() - start < kEndingMs) {
        FlushAll(server);
        ForgetGoneClients(server);
        if (server.clients.empty()) break;
        ServeSockets(server, 20);
        DoTimedWork(server);
        ForgetGoneClients(server);
    }
    WritePortFile(server, 0);
}

// Ends as a planetarium that crashes: what was answered goes out, then every
// connection is closed without a word.
void EndInCrash(Server& server) {
    const std::uint64_t start = NowMs();
    for (;;) {
        FlushAll(server);
        bool waiting = false;
        for (const Client& client : server.clients) {
            if (!client.gone && client.phase != Phase::Endless && !client.unsent.empty()) {
                waiting = true;
            }
        }
        if (!waiting || NowMs() - start >= 1000) break;
        SleepMs(5);
    }
    for (Client& client : server.clients) {
        if (!client.gone && client.phase != Phase::Closing) {
            LogLine(server, "DISCONNECT " + ClientField(client));
        }
        client.gone = true;
    }
    ForgetGoneClients(server);
}

bool Listen(Server& server, unsigned long& port) {
    server.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (server.listener == kNoSocket) return false;
#ifndef _WIN32
    // A port used by an earlier run may be taken again at once.
    const int on = 1;
    setsockopt(server.listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(server.settings.port));
    if (bind(server.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(server.listener, 16) != 0 || !MakeNonBlocking(server.listener) ||
        !Watchable(server.listener)) {
        return false;
    }
    socklen_t length = sizeof address;
    if (getsockname(server.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    port = ntohs(address.sin_port);
    return true;
}

}  // namespace

int RunTcpStandIn(int argc, char** argv) {
    Server server;
    if (!ParseSettings(argc, argv, server.settings)) {
        std::fputs(
            "usage: StandInPlanetarium --tcp --log FILE [--port N] [--port-file FILE]\n"
            "       [--greeting TEXT] [--max-clients N] [--delay MS]\n"
            "       [--delay-of WORD MS] [--close-after N] [--keep-alive MS]\n"
            "       [--endless-reply-of WORD] [--events-every MS]\n"
            "       [--stop-file FILE] [--lifetime SECONDS]\n",
            stderr);
        return 2;
    }
    server.log = std::fopen(server.settings.logPath.c_str(), "ab");
    if (server.log == nullptr) {
        std::fprintf(stderr, "StandInPlanetarium: cannot open %s\n",
                     server.settings.logPath.c_str());
        return 2;
    }
#ifdef _WIN32
    // Under Wine the desktop's process starts with the first program that
    // needs it (any DDE client does) and inherits that program's standard
    // handles, holding its output files open for as long as Wine runs: the
    // stand-in, started with none to hand on, takes that first use itself.
    GetDesktopWindow();
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) {
        std::fputs("StandInPlanetarium: WSAStartup failed\n", stderr);
        return 2;
    }
#else
    // A client that hangs up must not end the stand-in as it writes.
    signal(SIGPIPE, SIG_IGN);
#endif
    unsigned long port = 0;
    if (!Listen(server, port)) {
        std::fprintf(stderr, "StandInPlanetarium: cannot listen on 127.0.0.1 port %lu\n",
                     server.settings.port);
        return 2;
    }
    WritePortFile(server, port);
    LogLine(server, "READY port=" + std::to_string(port));

    server.startMs = NowMs();
    server.nextEventMs = server.startMs + server.settings.eventsEveryMs;
    while (server.ending == Ending::None) {
        if (ShouldStop(server)) {
            server.ending = Ending::InGoodOrder;
            break;
        }
        const unsigned long waitMs = DoTimedWork(server);
        FlushAll(server);
        ServeSockets(server, waitMs);
        ForgetGoneClients(server);
    }
    if (server.ending == Ending::Crash) {
        EndInCrash(server);
    } else {
        EndInGoodOrder(server);
    }
    for (const UnservedConnection& connection : server.unserved) {
        CloseSocket(connection.socket);
        LogLine(server, "DISCONNECT client=" + std::to_string(connection.number));
    }
    CloseSocket(server.listener);
    LogLine(server, "END");
#ifdef _WIN32
    WSACleanup();
#endif
    std::fclose(server.log);
    return 0;
}
