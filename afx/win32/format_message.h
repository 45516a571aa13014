// The system message table: FormatMessage and the local memory it hands out.
//
// The table holds the texts of the result codes and system error numbers
// that this framework can raise, worded and ended ("\r\n") as the system
// words them. Both forms of a system error find its text: the error number
// (2) and its HRESULT of the Win32 facility (0x80070002).
#pragma once

#include <cstdarg>

#include "afx/win32/types.h"

typedef HANDLE HLOCAL;

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Memory from the process's local heap; null when none can be had.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
// Frees a block from LocalAlloc (or a buffer FormatMessage allocated);
// returns null on success, as the system does.
HLOCAL LocalFree(HLOCAL hMem);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

// Looks dwMessageId up in the system message table (FORMAT_MESSAGE_FROM_SYSTEM;
// other sources are not served) and gives its text. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really an LPSTR* that receives
// a buffer from LocalAlloc, which the caller frees with LocalFree; otherwise
// the text is copied into lpBuffer of nSize characters. Returns the
// characters stored, without the terminator, or 0 (and no buffer) when the
// code has no text or the buffer is too small. The table has one language,
// which serves every dwLanguageId. The texts have no inserts, so Arguments
// is never read.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);
#define FormatMessage FormatMessageA
