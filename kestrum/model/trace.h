// The module-wide trace sink. Messages go to the framework's debug output,
// which discards them unless a debug log is configured.
#pragma once

class CResTrace {
public:
    void Trace(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
};

extern CResTrace g_resTrace;
