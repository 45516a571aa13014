// GetTempPath: the user's own temporary folder.
//
// On Windows the temporary folder belongs to the user; /tmp on Linux belongs
// to everyone, and a name that another user can guess there is a name they
// can plant first (a link to one of our files, a file they can read). So the
// folder is a private directory "afx-<uid>" under the first base that can
// hold one: $XDG_RUNTIME_DIR, then $TMPDIR, then /tmp (unset, empty or
// relative variables are skipped). It is created mode 0700 when missing; an
// existing one is used only if it is a real directory (not a symbolic link),
// owned by the effective user, open to no one else, and fully open to its
// owner. Otherwise the next base is tried.
//
// Files made inside it are still to be created without following links and
// readable only by the user: open them with CFile::osNoFollow (O_NOFOLLOW,
// a link planted at the name is refused) and CFile::osPrivate (mode 0600).
#pragma once

#include "afx/win32/types.h"

// Writes the folder's path, ending in '/', into the buffer and returns its
// length without the terminator. When the buffer is too small (or null),
// returns the size needed including the terminator and writes nothing.
// Returns 0 when no base gives a private folder.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
#define GetTempPath GetTempPathA
