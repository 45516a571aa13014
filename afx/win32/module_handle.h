// Module handles. A module handle names one loaded ELF object (the host
// executable or a shared library): it is the object's link map as the
// dynamic loader keeps it.
#pragma once

#include "afx/win32/types.h"

// The module that holds the code or data at an address; null when none does.
HMODULE AfxGetModuleOfAddress(const void* pAddress);

// With a null name, the host executable's handle. Otherwise the loaded
// shared library of that file name (or path), or null.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
#define GetModuleHandle GetModuleHandleA

// Writes the module's full path (the executable's for null) into the buffer,
// cut to nSize - 1 characters and zero-terminated; returns the characters
// written, without the terminator; 0 on failure. A result equal to nSize - 1
// may mean the path was cut.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
#define GetModuleFileName GetModuleFileNameA
