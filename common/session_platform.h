// The platform's side of a session (ZenoltSession): its endpoint, which only
// its own user can reach (a Unix-domain socket in a directory only the user
// can enter, whose clients' credentials are checked, on Linux and macOS; a
// named pipe whose security admits the user's own account alone, local
// clients only, on Windows), the connection between a program and the
// session, and the command a session runs for its life.
#ifndef ZENOLT_COMMON_SESSION_PLATFORM_H
#define ZENOLT_COMMON_SESSION_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One connection between a program and a session (a socket, a pipe's
// handle), or kNoSessionChannel.
typedef std::intptr_t SessionChannel;
constexpr SessionChannel kNoSessionChannel = -1;

// Where a session waits for programs.
struct SessionEndpoint {
    std::string name;                         // what ZENOLT_SESSION holds
    SessionChannel listener = kNoSessionChannel;  // the listening socket, or
                                              // the pipe instance the next
                                              // client will connect to
    std::string directory;                    // the socket's own directory
};

// Makes a new endpoint only this user can reach: with name empty, under a
// new name of its own; otherwise (Windows, a session started in the
// background) under that name, which must not be taken yet. Returns true
// with endpoint set, or false with why set, leaving nothing behind.
bool CreateSessionEndpoint(SessionEndpoint& endpoint, std::string& why);

// Waits for the next program to connect to endpoint and returns its
// connection; a client of another user is refused (closed) and waited past.
// Returns kNoSessionChannel when the endpoint can take no more clients.
SessionChannel AcceptSessionClient(SessionEndpoint& endpoint);

// Closes the endpoint, so that no program finds it any more: the socket and
// its directory are removed; a pipe's name goes when the process ends.
void RemoveSessionEndpoint(SessionEndpoint& endpoint);

// Connects to the session name names, once it has checked that the
// endpoint is this user's own (owner and permissions of the socket and its
// directory, and the credentials of the process at the other end; on
// Windows, a pipe of a session's name whose server runs as this user).
// Returns the connection, or kNoSessionChannel when name names no live
// session of this user.
SessionChannel ConnectToSession(const std::string& name);

// Sends all size bytes. Returns false when the connection failed first.
bool SendToSessionPeer(SessionChannel channel, const char* bytes, std::size_t size);

// A ReceiveBytes (server_lines.h) for a connection; source points to its
// SessionChannel.
long ReceiveFromSessionPeer(void* source, char* buffer, std::size_t size, unsigned long waitMs);

// Closes a connection; kNoSessionChannel is left alone.
void CloseSessionChannel(SessionChannel channel);

// The command a session runs (ZenoltSession COMMAND [ARG...]).
struct SessionCommand {
    std::intptr_t process = -1;  // its process ID, or its process handle
};

// Sets ZENOLT_SESSION to name in this process's environment, which the
// command inherits. Returns whether it could.
bool SetSessionVariable(const std::string& name);

// Starts the command: argv from argv[first] on (POSIX, searched for in
// PATH); on Windows the command line as given after its first words
// (first of them: the program's path and its own options), unchanged, so
// that cmd /c gets it as typed. It inherits the standard streams and the
// environment. Returns true once it runs; otherwise false with why set and
// status the one to exit with: 127 when it is not found, 126 otherwise.
bool StartSessionCommand(int argc, const char* const* argv, int first, SessionCommand& command,
                         int& status, std::string& why);

// Waits for the command to end. Returns its exit status (on POSIX, 128 and
// the signal's number when a signal ended it, as shells say).
int WaitForSessionCommand(SessionCommand& command);

// Starts a session in the background, detached from the caller's console,
// its standard streams closed, serving until it ends by itself. On POSIX
// it makes the endpoint and forks: the child calls serve(endpoint, context)
// and ends with what it returns. On Windows this program is started again
// with "--serve NAME" and arguments (its own to pass on), and is waited for
// until it greets. Returns true in the caller with name set once the
// session is ready; false with why set.
bool StartBackgroundSession(const std::vector<std::string>& arguments,
                            int (*serve)(SessionEndpoint& endpoint, void* context), void* context,
                            std::string& name, std::string& why);

#endif
