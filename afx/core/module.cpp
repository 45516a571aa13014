#include "afx/core/module.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "afx/win32/module_handle.h"

namespace {

AFX_MODULE_STATE& AppState()
{
    static AFX_MODULE_STATE state = [] {
        AFX_MODULE_STATE s{};
        s.m_hCurrentInstanceHandle = GetModuleHandleA(nullptr);
        s.m_hCurrentResourceHandle = s.m_hCurrentInstanceHandle;
        return s;
    }();
    return state;
}

struct ResourceTable {
    const AFX_RESOURCE* entries;
    SIZE_T count;
};

std::map<HINSTANCE, ResourceTable>& ResourceTables()
{
    static std::map<HINSTANCE, ResourceTable> tables;
    return tables;
}

bool SameType(LPCSTR a, LPCSTR b)
{
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b))
        return a == b;
    return std::strcmp(a, b) == 0;
}

} // namespace

AFX_MODULE_STATE* AfxGetModuleState()
{
    return &AppState();
}

AFX_MODULE_STATE* AfxGetAppModuleState()
{
    return &AppState();
}

HINSTANCE AfxGetInstanceHandle()
{
    return AppState().m_hCurrentInstanceHandle;
}

HINSTANCE AfxGetResourceHandle()
{
    return AppState().m_hCurrentResourceHandle;
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    AppState().m_hCurrentResourceHandle = hInstResource;
}

void AfxClassInit(CRuntimeClass* pNewClass)
{
    AFX_MODULE_STATE& state = AppState();
    pNewClass->m_pNextClass = state.m_pClassListHead;
    state.m_pClassListHead = pNewClass;
}

void AfxExtensionRawEntryAttach()
{
    AFX_MODULE_STATE& state = AppState();
    state.m_pClassInitSaved = state.m_pClassListHead;
    state.m_pClassListHead = nullptr;
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule)
{
    if (!hModule)
        return FALSE;
    AFX_MODULE_STATE& app = AppState();
    if (!state.bInitialized) {
        state.hModule = hModule;
        state.hResource = hModule;
        state.pFirstSharedClass = app.m_pClassListHead;
        state.pFirstSharedFactory = nullptr;
        state.bInitialized = TRUE;
    }
    app.m_pClassListHead = app.m_pClassInitSaved;
    app.m_pClassInitSaved = nullptr;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll)
{
    AFX_MODULE_STATE& app = AppState();
    // Deleting a library unlinks it, so walk from the head again each time.
    for (bool found = true; found;) {
        found = false;
        for (CDynLinkLibrary* dll = app.m_pLibraryListHead; dll; dll = dll->m_pNextDLL) {
            if (bAll || dll->m_hModule == state.hModule) {
                delete dll;
                found = true;
                break;
            }
        }
    }
    state.bInitialized = FALSE;
}

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CObject)

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule),
      m_hResource(state.hResource),
      m_pClassListHead(state.pFirstSharedClass),
      m_bSystem(bSystem),
      m_pNextDLL(nullptr)
{
    AFX_MODULE_STATE& app = AppState();
    m_pNextDLL = app.m_pLibraryListHead;
    app.m_pLibraryListHead = this;
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource)
    : m_hModule(hModule), m_hResource(hResource), m_pClassListHead(nullptr), m_bSystem(FALSE), m_pNextDLL(nullptr)
{
    AFX_MODULE_STATE& app = AppState();
    m_pNextDLL = app.m_pLibraryListHead;
    app.m_pLibraryListHead = this;
}

CDynLinkLibrary::~CDynLinkLibrary()
{
    AFX_MODULE_STATE& app = AppState();
    for (CDynLinkLibrary** link = &app.m_pLibraryListHead; *link; link = &(*link)->m_pNextDLL) {
        if (*link == this) {
            *link = m_pNextDLL;
            break;
        }
    }
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR lpszClassName)
{
    if (!lpszClassName)
        return nullptr;
    auto search = [lpszClassName](CRuntimeClass* head) -> CRuntimeClass* {
        for (CRuntimeClass* c = head; c; c = c->m_pNextClass) {
            if (std::strcmp(c->m_lpszClassName, lpszClassName) == 0)
                return c;
        }
        return nullptr;
    };
    AFX_MODULE_STATE& app = AppState();
    if (CRuntimeClass* c = search(app.m_pClassListHead))
        return c;
    for (CDynLinkLibrary* dll = app.m_pLibraryListHead; dll; dll = dll->m_pNextDLL) {
        if (CRuntimeClass* c = search(dll->m_pClassListHead))
            return c;
    }
    return nullptr;
}

void AfxRegisterResources(HINSTANCE hModule, const AFX_RESOURCE* pResources, SIZE_T nCount)
{
    ResourceTables()[hModule] = ResourceTable{pResources, nCount};
}

void AfxUnregisterResources(HINSTANCE hModule)
{
    ResourceTables().erase(hModule);
}

const AFX_RESOURCE* AfxFindResourceIn(HINSTANCE hModule, LPCSTR lpszType, UINT nID)
{
    auto& tables = ResourceTables();
    auto it = tables.find(hModule);
    if (it == tables.end())
        return nullptr;
    const ResourceTable& table = it->second;
    for (SIZE_T i = 0; i < table.count; ++i) {
        const AFX_RESOURCE& r = table.entries[i];
        if (r.nID == nID && SameType(r.lpszType, lpszType))
            return &r;
    }
    return nullptr;
}

HINSTANCE AfxFindResourceHandle(UINT nID, LPCSTR lpszType)
{
    AFX_MODULE_STATE& app = AppState();
    if (AfxFindResourceIn(app.m_hCurrentResourceHandle, lpszType, nID))
        return app.m_hCurrentResourceHandle;
    for (CDynLinkLibrary* dll = app.m_pLibraryListHead; dll; dll = dll->m_pNextDLL) {
        if (!dll->m_bSystem && dll->m_hResource && AfxFindResourceIn(dll->m_hResource, lpszType, nID))
            return dll->m_hResource;
    }
    for (CDynLinkLibrary* dll = app.m_pLibraryListHead; dll; dll = dll->m_pNextDLL) {
        if (dll->m_bSystem && dll->m_hResource && AfxFindResourceIn(dll->m_hResource, lpszType, nID))
            return dll->m_hResource;
    }
    return app.m_hCurrentResourceHandle;
}

const AFX_RESOURCE* AfxFindResource(UINT nID, LPCSTR lpszType)
{
    return AfxFindResourceIn(AfxFindResourceHandle(nID, lpszType), lpszType, nID);
}

LPCSTR AfxFindStringResource(UINT nID)
{
    const AFX_RESOURCE* r = AfxFindResource(nID, RT_STRING);
    return r ? static_cast<LPCSTR>(r->pData) : nullptr;
}
