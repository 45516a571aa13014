// The Windows base types, with the widths the Windows ABI gives them.
// LONG and ULONG are 32 bits here too: archives and database values rely on it.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef short SHORT;
typedef unsigned short USHORT;
typedef char CHAR;
typedef char TCHAR;
typedef unsigned char UCHAR;
typedef char16_t WCHAR;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::intptr_t INT_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef std::size_t SIZE_T;
typedef std::int32_t HRESULT;
typedef std::int32_t SCODE;
typedef float FLOAT;
typedef double DOUBLE;
typedef void VOID;

typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* LPTSTR;
typedef const char* LPCTSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* LPLONG;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

#define DECLARE_AFX_HANDLE(name) \
    struct name##__ { int unused; }; \
    typedef struct name##__* name

DECLARE_AFX_HANDLE(HINSTANCE);
typedef HINSTANCE HMODULE;
DECLARE_AFX_HANDLE(HICON);
typedef HICON HCURSOR;
DECLARE_AFX_HANDLE(HWND);
DECLARE_AFX_HANDLE(HDC);
DECLARE_AFX_HANDLE(HBITMAP);
DECLARE_AFX_HANDLE(HMENU);
DECLARE_AFX_HANDLE(HKEY);
DECLARE_AFX_HANDLE(HGLOBAL);
DECLARE_AFX_HANDLE(HRSRC);
typedef void* HANDLE;

#define TRUE 1
#define FALSE 0
#ifndef NULL
#define NULL nullptr
#endif

#define MAX_PATH 260

#define WINAPI
#define CALLBACK
#define PASCAL
#define AFXAPI
#define AFX_CDECL
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT

#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEINTRESOURCE(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef POINT* LPPOINT;
typedef SIZE* LPSIZE;
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;
