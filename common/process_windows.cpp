// The Windows side of the process.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "process_platform.h"

void PrepareUnattendedRun() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

bool ProcessCommandLine(std::string& line) {
    line = GetCommandLineA();
    return true;
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

void SetBinaryStream(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

void SetTextStream(std::FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

bool StreamIsConsole(std::FILE* stream) {
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return GetConsoleMode(handle, &mode) != 0;
}

int OpenScriptFile(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }

bool RegularFileSize(int descriptor, unsigned long long& size) {
    struct _stati64 status = {};
    if (_fstati64(descriptor, &status) != 0 || (status.st_mode & _S_IFREG) == 0) return false;
    size = static_cast<unsigned long long>(status.st_size);
    return true;
}

void CloseScriptFile(int descriptor) { _close(descriptor); }
