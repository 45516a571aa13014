#include "kestrum/model/trace.h"

#include <cstdarg>

#include "afx/afx.h"

CResTrace g_resTrace AFX_MODULE_STATIC;

void CResTrace::Trace(const char* pszFormat, ...)
{
    CString text;
    va_list args;
    va_start(args, pszFormat);
    text.FormatV(pszFormat, args);
    va_end(args);
    OutputDebugStringA(text);
}
