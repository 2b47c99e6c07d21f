// What a program asks of its process that differs between Windows and the
// POSIX systems: the command line, the standard streams, the script file.
#ifndef ZENOLT_COMMON_PROCESS_PLATFORM_H
#define ZENOLT_COMMON_PROCESS_PLATFORM_H

#include <cstdio>
#include <string>

// Readies the process for unattended runs from scripts: no critical-error
// or file-not-found message boxes on Windows; elsewhere, writing to a pipe
// or connection that is closed is an error, not the end of the process.
void PrepareUnattendedRun();

// Returns true with line set to the process's command line as one text,
// where the system keeps one (Windows); false where the shell has already
// split it into words (argv is then the arguments).
bool ProcessCommandLine(std::string& line);

// Returns whether the system has DDE, the only interface of planetariums
// from before 2006: Windows has; the POSIX systems have not.
bool SystemHasDde();

// Returns whether byte starts a character of two bytes in the ANSI code
// page (Windows); never elsewhere.
bool IsAnsiLeadByte(unsigned char byte);

// Makes stream pass bytes unchanged (binary) or turn each line feed into
// the system's line end (text); the same thing on POSIX systems.
void SetBinaryStream(std::FILE* stream);
void SetTextStream(std::FILE* stream);

// Returns whether stream is a console (a terminal) a person watches.
bool StreamIsConsole(std::FILE* stream);

// Starts taking the requests to end a program that runs until it is
// stopped: Ctrl+C, Ctrl+Break and closing the console on Windows (each
// posts WM_QUIT to the calling thread, whose message queue a DDE wait
// reads), SIGINT and SIGTERM elsewhere.
void StartQuitHandling();

// Returns whether an end was requested since StartQuitHandling (on Windows,
// takes the WM_QUIT from the thread's queue).
bool QuitRequested();

// Waits ms milliseconds, less when an end is requested meanwhile (after
// StartQuitHandling; before it, Ctrl+C ends the process as the system
// does). Returns false when an end was requested, having taken it as
// QuitRequested does; the wait uses no processor time.
bool PauseUnlessQuit(unsigned long ms);

// Tells the end's handler that the program has ended its conversation: a
// closing console waits for that (a few seconds at most), since the system
// ends the process as soon as the handler returns.
void FinishQuitHandling();

// Opens the file at path for reading bytes unchanged. Returns its
// descriptor, or -1 with errno set.
int OpenScriptFile(const char* path);

// Returns true with size set when descriptor is a regular file.
bool RegularFileSize(int descriptor, unsigned long long& size);

// Closes a descriptor OpenScriptFile returned.
void CloseScriptFile(int descriptor);

#endif
