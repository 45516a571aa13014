// AfxMessageBox: a modal message box with the host application's caption.
//
// With a Qt widget application running, the box is a Qt message box and the
// call returns when the user closes it. In a process without one (a
// command-line host), the text goes to standard error and the box answers
// at once: IDOK, or IDNO to a Yes/No question.
#pragma once

#include "afx/win32/types.h"

// Buttons.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_TYPEMASK 0x0000000Fu
// Icons.
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u

// Results.
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// lpszText is ANSI text (the process's code page).
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The text is string nIDPrompt, found through the resource search.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));
