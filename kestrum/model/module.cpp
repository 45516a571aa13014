#include "kestrum/model/module.h"

#include <cstdio>
#include <cstdlib>

#include "kestrum/res/resources.h"

AFX_EXTENSION_MODULE KestrumDLL = {FALSE, nullptr, nullptr, nullptr, nullptr};
HINSTANCE g_hKestrumInstance = nullptr;

namespace {

enum { DLL_PROCESS_DETACH = 0, DLL_PROCESS_ATTACH = 1 };

HINSTANCE ThisModule()
{
    static const char anchor = 0;
    return AfxGetModuleOfAddress(&anchor);
}

int DllMain(HINSTANCE hInstance, DWORD dwReason)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        if (!AfxInitExtensionModule(KestrumDLL, hInstance))
            return 0;
        g_hKestrumInstance = hInstance;
        SIZE_T nCount;
        const AFX_RESOURCE* pResources = KestrumResources(&nCount);
        AfxRegisterResources(hInstance, pResources, nCount);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        AfxTermExtensionModule(KestrumDLL);
        AfxUnregisterResources(hInstance);
    }
    return 1;
}

// Runs before any other static object of the module.
struct RawEntry {
    RawEntry() { AfxExtensionRawEntryAttach(); }
};
RawEntry s_rawEntry __attribute__((init_priority(AFX_RAW_ENTRY_PRIORITY)));

// Process attach and detach are the module's load and unload: this object is
// built after the module's classes are registered and goes before the
// module's other statics do.
struct ProcessAttachment {
    ProcessAttachment() : hInstance(ThisModule())
    {
        if (!DllMain(hInstance, DLL_PROCESS_ATTACH)) {
            // A module that cannot start must not run half-initialised.
            std::fputs("kestrum: the module could not be initialised\n", stderr);
            std::abort();
        }
    }
    ~ProcessAttachment() { DllMain(hInstance, DLL_PROCESS_DETACH); }
    HINSTANCE hInstance;
};
ProcessAttachment s_attachment __attribute__((init_priority(AFX_DLL_ENTRY_PRIORITY)));

} // namespace

extern "C" void InitKestrumDLL()
{
    // The framework owns the object; AfxTermExtensionModule deletes it.
    new CDynLinkLibrary(KestrumDLL);
}

CResHandleSwitch::CResHandleSwitch() : m_hOldResource(AfxGetResourceHandle())
{
    AfxSetResourceHandle(KestrumDLL.hModule);
}

CResHandleSwitch::~CResHandleSwitch()
{
    AfxSetResourceHandle(m_hOldResource);
}
