// The module's start-up record, its instance handle, and the switch of the
// framework's resource handle to the module's own.
#pragma once

#include "afx/afx.h"

extern AFX_EXTENSION_MODULE KestrumDLL;
extern HINSTANCE g_hKestrumInstance;

// Links the module's classes and resources into the host's searches. The
// host calls it once, after loading the module.
extern "C" AFX_EXT_API void InitKestrumDLL();

// While it lives, the framework looks for resources in this module first.
class CResHandleSwitch {
public:
    CResHandleSwitch();
    ~CResHandleSwitch();
    CResHandleSwitch(const CResHandleSwitch&) = delete;
    CResHandleSwitch& operator=(const CResHandleSwitch&) = delete;

private:
    HINSTANCE m_hOldResource;
};
