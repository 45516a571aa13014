// Creating COM objects by class: CoCreateInstance over the framework's own
// table of classes, which each class fills in as its library loads.
//
// COM needs no set-up on this platform; CoInitialize and CoUninitialize are
// there for hosts that call them and do nothing else.
#pragma once

#include "afx/ole/unknown.h"

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_HANDLER | CLSCTX_SERVER)

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

// A new object of the class, asked for as riid (reference count 1).
// REGDB_E_CLASSNOTREG for a class nobody registered, CLASS_E_NOAGGREGATION
// when an outer object is given.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// The class of a program name ("ADODB.Connection"), or of a class string
// in the registry form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
// CO_E_CLASSSTRING when it names none.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);

// Makes a class creatable: create gives a new object asked for as riid.
typedef HRESULT (*AfxCreateComObjectProc)(REFIID riid, void** ppv);
void AfxRegisterComClass(REFCLSID rclsid, const char* pszProgID, AfxCreateComObjectProc create);
