// Code pages. The process's ANSI code page is UTF-8 unless the environment
// variable AFX_ANSI_CODEPAGE names another (a number such as 936 or 1252),
// the way a system locale would on Windows.
#pragma once

#include <string>
#include <string_view>

#include "afx/win32/types.h"

#define CP_ACP 0
#define CP_UTF8 65001

UINT GetACP();

// UTF-16 to 8-bit text in a code page and back, through iconv. Units that
// the target cannot hold, and malformed input, come out as '?' (to 8 bits)
// or U+FFFD (to UTF-16), as Windows' default characters do.
std::string AfxWideToMultiByte(std::u16string_view wide, UINT codePage = CP_ACP);
std::u16string AfxMultiByteToWide(std::string_view text, UINT codePage = CP_ACP);

// The Win32 forms. A count of -1 means the input is zero-terminated (and the
// terminator is converted too); an output size of 0 asks for the size needed.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);
