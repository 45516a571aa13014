// Reports of database errors: the full report shown by the shared library
// when it cannot open its database, and the short boxes of the list fills.
#pragma once

#include "afx/afx.h"
#include "afx/ole/com_error.h"

// The lead line formatted with the code ("%08lx"), then " Msg: ", the
// error's message text, " Source: ", its source, " Description: ", its
// description, and a line feed.
CString FormatComError(LPCSTR lpszLead, const _com_error& e);

// The full report in an error box (OK, stop icon).
void ShowComErrorReport(LPCSTR lpszLead, const _com_error& e);

// The finder's box: "Database error." and the description, OK only.
void ShowFinderDatabaseError(const _com_error& e);
// The editing page's box: the same in Chinese, stored in code page 936 and
// shown in the process's code page.
void ShowPageDatabaseError(const _com_error& e);

// The lead lines of the full reports.
#define INIT_DATABASE_ERROR_LEAD "Init Database error.\n\tCode = %08lx"
#define CHANGE_DATABASE_ERROR_LEAD "Change Database error.\n\tCode = %08lx"
