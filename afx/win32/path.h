// Splitting a path into drive, directory, file name and extension.
#pragma once

#include <string>

#include "afx/win32/types.h"

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// Splits path into its parts; any output may be null. There are no drives
// here, so drive is always empty. dir is everything up to and including the
// last '/', fname what follows up to its last '.', ext the rest from that
// '.' on (with the dot; empty when the name has none).
//
// Each output is taken to have room for its _MAX_ size, terminator
// included, as callers declare them. A part that does not fit is cut to
// _MAX_ - 1 characters (never written past), and then no longer names what
// the path named: a program that may meet paths longer than these sizes -
// Linux paths run to PATH_MAX - uses AfxSplitPath instead.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

// The same split without limits.
struct AfxPathParts {
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;
};
AfxPathParts AfxSplitPath(const std::string& path);
