// The Windows side of a session: a named pipe whose security admits only the
// user's own account, local clients only, created as the first instance of
// its name (so that no one else can have taken the name first). Every pipe
// handle is overlapped, so that a wait can end. The security functions are
// advapi32's, delay-loaded as the registry's (cmake/tcp-delay.cmake).
#include <windows.h>

#include <vector>

#include "command_line_rest.h"
#include "server_lines.h"
#include "session_platform.h"
#include "session_protocol.h"

namespace {

const char kPipePrefix[] = "\\\\.\\pipe\\zenolt-session-";
const DWORD kPipeBufferBytes = 64 * 1024;
// How long a client waits for a free instance of a busy pipe, and how long
// a session started in the background may take to be ready.
const DWORD kBusyPipeWaitMs = 2000;
const DWORD kBackgroundStartMs = 20000;

HANDLE HandleOf(SessionChannel channel) { return reinterpret_cast<HANDLE>(channel); }
SessionChannel ChannelOf(HANDLE handle) { return reinterpret_cast<SessionChannel>(handle); }

// Returns the user (its SID, in a buffer that holds the TOKEN_USER) the
// process runs as; empty when it cannot be read.
std::vector<char> UserOf(HANDLE process) {
    std::vector<char> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size > 0) {
        user.resize(size);
        if (!GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
    }
    CloseHandle(token);
    return user;
}

PSID SidOf(std::vector<char>& user) { return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid; }

// The security of the pipe: a DACL with one entry, all access for the
// user's own SID, so that no other account (not even an administrator's
// process of another user, without taking ownership) can open it.
struct PipeSecurity {
    std::vector<char> user;
    std::vector<char> acl;
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

// Fills security. Returns false when the user or the DACL cannot be had.
bool MakePipeSecurity(PipeSecurity& security) {
    security.user = UserOf(GetCurrentProcess());
    if (security.user.empty()) return false;
    const PSID sid = SidOf(security.user);
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    security.acl.assign(aclSize, 0);
    PACL acl = reinterpret_cast<PACL>(security.acl.data());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&security.descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&security.descriptor, TRUE, acl, FALSE)) {
        return false;
    }
    security.attributes.nLength = sizeof security.attributes;
    security.attributes.lpSecurityDescriptor = &security.descriptor;
    security.attributes.bInheritHandle = FALSE;
    return true;
}

// Returns a new instance of the pipe name, the first one when first (which
// fails when the name is taken), or INVALID_HANDLE_VALUE.
HANDLE NewPipeInstance(const std::string& name, bool first) {
    PipeSecurity security;
    if (!MakePipeSecurity(security)) return INVALID_HANDLE_VALUE;
    const DWORD openMode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    return CreateNamedPipeA(name.c_str(), openMode,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0,
                            &security.attributes);
}

// Returns a name no session of this computer has had: the process's ID and
// the performance counter.
std::string NewPipeName() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return kPipePrefix + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(static_cast<unsigned long long>(counter.QuadPart));
}

// Waits up to waitMs for the overlapped operation of handle to end. Returns
// true with done set to its bytes when it ended well; false with error set.
bool FinishOverlapped(HANDLE handle, OVERLAPPED& overlapped, DWORD waitMs, DWORD& done,
                      DWORD& error) {
    if (WaitForSingleObject(overlapped.hEvent, waitMs) != WAIT_OBJECT_0) {
        CancelIo(handle);
    }
    if (GetOverlappedResult(handle, &overlapped, &done, TRUE)) return true;
    error = GetLastError();
    return false;
}

// Returns whether the process at the server end of pipe runs as this user.
bool ServerIsOwnUser(HANDLE pipe) {
    ULONG id = 0;
    if (!GetNamedPipeServerProcessId(pipe, &id)) return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return false;
    std::vector<char> theirs = UserOf(process);
    CloseHandle(process);
    std::vector<char> ours = UserOf(GetCurrentProcess());
    return !theirs.empty() && !ours.empty() && EqualSid(SidOf(theirs), SidOf(ours));
}

std::string ReasonOf(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return "not found";
    return "Windows error " + std::to_string(error);
}

}  // namespace

bool CreateSessionEndpoint(SessionEndpoint& endpoint, std::string& why) {
    const std::string name = endpoint.name.empty() ? NewPipeName() : endpoint.name;
    if (name.compare(0, sizeof kPipePrefix - 1, kPipePrefix) != 0) {
        why = "not a session's pipe name: " + name;
        return false;
    }
    const HANDLE pipe = NewPipeInstance(name, true);
    if (pipe == INVALID_HANDLE_VALUE) {
        why = "cannot make the pipe " + name + ": " + ReasonOf(GetLastError());
        return false;
    }
    endpoint.name = name;
    endpoint.listener = ChannelOf(pipe);
    return true;
}

// The next instance is made as soon as one is taken, so that a program
// finds one waiting; one that cannot be made ends the accepting (programs
// then talk directly).
SessionChannel AcceptSessionClient(SessionEndpoint& endpoint) {
    for (;;) {
        if (endpoint.listener == kNoSessionChannel) return kNoSessionChannel;
        const HANDLE pipe = HandleOf(endpoint.listener);
        OVERLAPPED overlapped = {};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (overlapped.hEvent == nullptr) return kNoSessionChannel;
        DWORD error = ERROR_SUCCESS;
        if (!ConnectNamedPipe(pipe, &overlapped)) {
            error = GetLastError();
            DWORD done = 0;
            if (error == ERROR_IO_PENDING &&
                FinishOverlapped(pipe, overlapped, INFINITE, done, error)) {
                error = ERROR_SUCCESS;
            }
        }
        CloseHandle(overlapped.hEvent);
        const HANDLE next = NewPipeInstance(endpoint.name, false);
        endpoint.listener = next == INVALID_HANDLE_VALUE ? kNoSessionChannel : ChannelOf(next);
        if (error == ERROR_SUCCESS || error == ERROR_PIPE_CONNECTED) return ChannelOf(pipe);
        CloseHandle(pipe);
    }
}

// The pipe's instances are the accepting thread's (the one this copy names
// may be a program's connection by now): the name goes with the process.
void RemoveSessionEndpoint(SessionEndpoint& endpoint) { endpoint.listener = kNoSessionChannel; }

// Only a name of a session's pipe is opened: any other (a file, a device)
// is no session.
SessionChannel ConnectToSession(const std::string& name) {
    if (name.compare(0, sizeof kPipePrefix - 1, kPipePrefix) != 0 ||
        name.find_first_of("\\/", sizeof kPipePrefix - 1) != std::string::npos) {
        return kNoSessionChannel;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        const HANDLE pipe =
            CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                        nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            if (ServerIsOwnUser(pipe)) return ChannelOf(pipe);
            CloseHandle(pipe);
            return kNoSessionChannel;
        }
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeA(name.c_str(), kBusyPipeWaitMs)) break;
    }
    return kNoSessionChannel;
}

bool SendToSessionPeer(SessionChannel channel, const char* bytes, std::size_t size) {
    const HANDLE pipe = HandleOf(channel);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) return false;
    bool sent = true;
    while (sent && size > 0) {
        const DWORD chunk = size > kPipeBufferBytes ? kPipeBufferBytes : static_cast<DWORD>(size);
        DWORD done = 0;
        DWORD error = ERROR_SUCCESS;
        ResetEvent(overlapped.hEvent);
        if (!WriteFile(pipe, bytes, chunk, &done, &overlapped)) {
            error = GetLastError();
            sent = error == ERROR_IO_PENDING &&
                   FinishOverlapped(pipe, overlapped, INFINITE, done, error);
        }
        sent = sent && done > 0;
        bytes += done;
        size -= done;
    }
    CloseHandle(overlapped.hEvent);
    return sent;
}

long ReceiveFromSessionPeer(void* source, char* buffer, std::size_t size, unsigned long waitMs) {
    const HANDLE pipe = HandleOf(*static_cast<SessionChannel*>(source));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) return kReceiveFailed;
    const DWORD chunk = size > kPipeBufferBytes ? kPipeBufferBytes : static_cast<DWORD>(size);
    DWORD done = 0;
    DWORD error = ERROR_SUCCESS;
    bool received = ReadFile(pipe, buffer, chunk, &done, &overlapped) != 0;
    if (!received) {
        error = GetLastError();
        received = error == ERROR_IO_PENDING &&
                   FinishOverlapped(pipe, overlapped, waitMs, done, error);
    }
    CloseHandle(overlapped.hEvent);
    if (received) return static_cast<long>(done);
    if (error == ERROR_OPERATION_ABORTED) return kReceiveTimeUp;
    if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) return 0;
    return kReceiveFailed;
}

void CloseSessionChannel(SessionChannel channel) {
    if (channel != kNoSessionChannel) CloseHandle(HandleOf(channel));
}

bool SetSessionVariable(const std::string& name) {
    return SetEnvironmentVariableA(kSessionVariable, name.c_str()) != 0;
}

// The standard streams are handed on as they are (made inheritable for
// that); nothing else of this process is inherited.
bool StartSessionCommand(int, const char* const*, int first, SessionCommand& command, int& status,
                         std::string& why) {
    std::string line = RestOfCommandLine(GetCommandLineA(), first);
    if (line.empty()) {
        why = "no command";
        status = 127;
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    const DWORD streams[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE* handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(streams[i]);
        if (*handles[i] != nullptr && *handles[i] != INVALID_HANDLE_VALUE) {
            SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        const DWORD error = GetLastError();
        why = ReasonOf(error);
        status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 127 : 126;
        return false;
    }
    CloseHandle(process.hThread);
    command.process = reinterpret_cast<std::intptr_t>(process.hProcess);
    return true;
}

int WaitForSessionCommand(SessionCommand& command) {
    const HANDLE process = reinterpret_cast<HANDLE>(command.process);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 127;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

// A job that ends its processes with the console (some terminals make one)
// is left where it lets the session go; where it does not, the session
// stays in it.
bool StartBackgroundSession(const std::vector<std::string>& arguments,
                            int (*)(SessionEndpoint& endpoint, void* context), void*,
                            std::string& name, std::string& why) {
    std::vector<char> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
               path.size() &&
           path.size() < 32768) {
        path.resize(path.size() * 2);
    }
    if (length == 0 || length == path.size()) {
        why = "cannot find this program's own file";
        return false;
    }
    const std::string program(path.data(), length);
    // It keeps its own folder, not the caller's, which it would hold.
    const std::string folder = program.substr(0, program.find_last_of("\\/") + 1);
    const std::string pipe = NewPipeName();
    std::string line = "\"" + program + "\" --serve " + pipe;
    for (const std::string& argument : arguments) line += " " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP;
    const char* where = folder.empty() ? nullptr : folder.c_str();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE,
                        flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, where, &startup, &process) &&
        !CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, flags, nullptr, where,
                        &startup, &process)) {
        why = "cannot start it: " + ReasonOf(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    const DWORD start = GetTickCount();
    bool ready = false;
    while (!ready && GetTickCount() - start < kBackgroundStartMs) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        ready = WaitNamedPipeA(pipe.c_str(), 1) != 0;
        if (!ready) Sleep(10);
    }
    if (!ready) {
        why = "it did not get ready";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    name = pipe;
    return ready;
}
