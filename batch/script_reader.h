// Reading a batch script: one planetarium command per line, read as a stream
// so that memory does not grow with the number of lines.
#ifndef ZENOLT_BATCH_SCRIPT_READER_H
#define ZENOLT_BATCH_SCRIPT_READER_H

#include <cstddef>
#include <string>
#include <vector>

// Reads up to size bytes of the input into buffer. Returns how many it read,
// 0 at the end of the input, or -1 on a read error, with errno set. It may
// return fewer bytes than asked for (what a pipe or console holds so far), so
// each command of a script that arrives slowly is sent as soon as it is whole.
typedef long (*ReadBytes)(void* source, char* buffer, std::size_t size);

// A ReadBytes for an open file descriptor (source points to the int).
long ReadFromDescriptor(void* source, char* buffer, std::size_t size);

// Where reading a script has got to. Set up by StartScript; ReadCommandLine
// moves it on.
struct ScriptReader {
    ReadBytes read = nullptr;
    void* source = nullptr;
    std::vector<char> chunk;   // bytes read from input and not yet taken
    std::size_t taken = 0;     // how many bytes of chunk have been taken
    std::size_t filled = 0;    // how many bytes of chunk hold input
    unsigned long lineNumber = 0;  // of the last line read, counting every line
    unsigned long long bytesTaken = 0;  // of the input, by the lines read so far
    bool atEnd = false;
    bool failed = false;       // a read error ended the input
    int error = 0;             // errno of that read error
};

// One command line of a script.
struct CommandLine {
    unsigned long number = 0;  // 1 for the first line of the input
    std::string text;          // blanks and tabs cut from both ends
    bool holdsNul = false;     // then it cannot be sent as text
};

// Starts reading the input that read takes from source, at most chunkSize
// bytes (more than 0) at a time.
void StartScript(ScriptReader& reader, ReadBytes read, void* source,
                 std::size_t chunkSize = 64 * 1024);

// Reads up to the next command line and returns true with it in line, or
// returns false at the end of the input or on a read error (reader.failed).
// Lines end in LF or CR LF, and a last line without a line end counts. A
// UTF-8 byte-order mark at the very start of the input is dropped. Empty
// lines, lines of blanks and tabs, and lines whose first other character is
// '#' are skipped; every other byte stays as it is.
bool ReadCommandLine(ScriptReader& reader, CommandLine& line);

#endif
