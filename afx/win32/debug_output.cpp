#include "afx/win32/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

AfxDebugListener& Listener()
{
    static AfxDebugListener listener;
    return listener;
}

FILE* LogFile()
{
    static FILE* file = [] {
        const char* path = std::getenv("AFX_DEBUG_LOG");
        if (!path || !*path)
            return static_cast<FILE*>(nullptr);
        if (std::strcmp(path, "-") == 0)
            return stderr;
        return std::fopen(path, "ae");
    }();
    return file;
}

} // namespace

void OutputDebugStringA(LPCSTR lpOutputString)
{
    if (!lpOutputString)
        return;
    if (Listener())
        Listener()(lpOutputString);
    if (FILE* file = LogFile()) {
        std::fputs(lpOutputString, file);
        size_t n = std::strlen(lpOutputString);
        if (n == 0 || lpOutputString[n - 1] != '\n')
            std::fputc('\n', file);
        std::fflush(file);
    }
}

AfxDebugListener AfxSetDebugListener(AfxDebugListener listener)
{
    return std::exchange(Listener(), std::move(listener));
}
