// A window on what the ADO objects ask of the database engine, for
// diagnostics and tests: every SQL statement as it starts to run, and every
// opening of a stored value for streaming ("blob <table>.<column>").
#pragma once

// Receives each event with the context given to AfxAdoSetTrace. Called on
// the thread that runs the statement.
typedef void (*AfxAdoTraceProc)(const char* pszEvent, void* pContext);

// Installs the receiver for the whole process (null removes it) and
// returns the previous one.
AfxAdoTraceProc AfxAdoSetTrace(AfxAdoTraceProc proc, void* pContext);
