#include "afx/win32/format_message.h"

#include <cstdlib>
#include <cstring>

namespace {

struct MessageEntry {
    DWORD id;
    const char* text;
};

// System error numbers; their HRESULTs of the Win32 facility share the text.
constexpr MessageEntry kSystemErrors[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
};

// Result codes of the other facilities.
constexpr MessageEntry kResultCodes[] = {
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004003, "Invalid pointer\r\n"},
    {0x80004004, "Operation aborted\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x8000FFFF, "Catastrophic failure\r\n"},
    {0x80020001, "Unknown interface.\r\n"},
    {0x80020003, "Member not found.\r\n"},
    {0x80020004, "Parameter not found.\r\n"},
    {0x80020005, "Type mismatch.\r\n"},
    {0x80020008, "Bad variable type.\r\n"},
    {0x80020009, "Exception occurred.\r\n"},
    {0x8002000A, "Out of present range.\r\n"},
    {0x8002000B, "Invalid index.\r\n"},
    {0x8002000D, "Memory is locked.\r\n"},
    {0x80040110, "Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040154, "Class not registered\r\n"},
    {0x800401F3, "Invalid class string\r\n"},
};

template <size_t N>
const char* Lookup(const MessageEntry (&table)[N], DWORD id)
{
    for (const MessageEntry& entry : table) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}

const char* SystemText(DWORD id)
{
    constexpr DWORD kWin32Facility = 0x80070000;
    if ((id & 0xFFFF0000) == kWin32Facility)
        return Lookup(kSystemErrors, id & 0xFFFF);
    if (id <= 0xFFFF)
        return Lookup(kSystemErrors, id);
    return Lookup(kResultCodes, id);
}

} // namespace

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    // A zero-byte request still gives a block that LocalFree accepts.
    void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1) : std::malloc(uBytes ? uBytes : 1);
    return block;
}

HLOCAL LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, va_list*)
{
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)))
        return 0;
    if (!lpBuffer)
        return 0;
    const char* text = SystemText(dwMessageId);
    if (!text)
        return 0;
    size_t length = std::strlen(text);

    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        LPSTR* target = reinterpret_cast<LPSTR*>(lpBuffer);
        *target = nullptr;
        // nSize is then the least the caller wants allocated.
        size_t bytes = length + 1 > nSize ? length + 1 : nSize;
        char* buffer = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
        if (!buffer)
            return 0;
        std::memcpy(buffer, text, length + 1);
        *target = buffer;
        return static_cast<DWORD>(length);
    }
    if (length + 1 > nSize)
        return 0;
    std::memcpy(lpBuffer, text, length + 1);
    return static_cast<DWORD>(length);
}
