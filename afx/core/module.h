// The application's module state, extension libraries and the resource
// search.
//
// One module state serves the process: the host and every extension library
// share it, as an MFC application shares its state with its extension DLLs.
// It holds the current resource handle, the list of classes registered by
// the host, and the chain of linked extension libraries (CDynLinkLibrary),
// each with the classes and resources of its module.
#pragma once

#include "afx/core/object.h"
#include "afx/core/string.h"

class CDynLinkLibrary;

struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle; // the host executable
    HINSTANCE m_hCurrentResourceHandle; // searched first for resources
    CRuntimeClass* m_pClassListHead;    // classes registered by the host
    CRuntimeClass* m_pClassInitSaved;   // the host's list while an extension loads
    CDynLinkLibrary* m_pLibraryListHead;
};

AFX_MODULE_STATE* AfxGetModuleState();
AFX_MODULE_STATE* AfxGetAppModuleState();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);

// What an extension library records about itself.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
    CRuntimeClass* pFirstSharedClass;
    void* pFirstSharedFactory;
};

// The extension library's raw entry, run before any of its static objects:
// sets the host's class list aside so that the classes the library registers
// while loading are collected for the library alone.
void AfxExtensionRawEntryAttach();
// Hands the classes collected since the raw entry to the record, brings the
// host's list back and notes the module's handle. FALSE when hModule is null.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Unlinks and deletes the library's CDynLinkLibrary objects (all of them
// with bAll), and empties the record.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// Links an extension library's classes and resources into the host's
// searches for as long as it lives.
class CDynLinkLibrary : public CObject {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    CRuntimeClass* m_pClassListHead;
    BOOL m_bSystem;
    CDynLinkLibrary* m_pNextDLL;
};

// Resource types, as the numbered forms of the Windows resource types.
#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)

// One resource of a module, kept as data in the module's code: a string's
// text (zero-terminated), a dialog template object, or the bytes of an .ico
// file for an icon.
struct AFX_RESOURCE {
    LPCSTR lpszType;
    UINT nID;
    const void* pData;
    SIZE_T nSize;
};

// Makes a module's resources findable under its handle. The table must live
// as long as the registration; a module unregisters before it unloads.
void AfxRegisterResources(HINSTANCE hModule, const AFX_RESOURCE* pResources, SIZE_T nCount);
void AfxUnregisterResources(HINSTANCE hModule);
// The resource of that type and number in one module, or null.
const AFX_RESOURCE* AfxFindResourceIn(HINSTANCE hModule, LPCSTR lpszType, UINT nID);
// The module whose resource answers: the current resource handle first, then
// each linked extension library, newest first. The current resource handle
// when none has it.
HINSTANCE AfxFindResourceHandle(UINT nID, LPCSTR lpszType);
// The resource found by that search, or null.
const AFX_RESOURCE* AfxFindResource(UINT nID, LPCSTR lpszType);
// The text of string nID found by that search, or null.
LPCSTR AfxFindStringResource(UINT nID);
