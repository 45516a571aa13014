// The debugger's output channel. Messages go nowhere unless the environment
// variable AFX_DEBUG_LOG names a file to append them to ("-" for standard
// error), or a listener has been installed (tests do this).
#pragma once

#include <functional>

#include "afx/win32/types.h"

void OutputDebugStringA(LPCSTR lpOutputString);
#define OutputDebugString OutputDebugStringA

// Installs a listener that receives every message; an empty function removes
// it. Returns the previous listener.
using AfxDebugListener = std::function<void(LPCSTR)>;
AfxDebugListener AfxSetDebugListener(AfxDebugListener listener);
