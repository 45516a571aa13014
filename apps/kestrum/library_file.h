// A library file: a file whose archive holds one resource library record.
#pragma once

#include <string>

#include "kestrum/kestrum.h"

namespace cli {

enum class LibraryFileState { Loaded, Missing, Unreadable, Damaged };

// Loads the library in the file. A file that the archive does not consume
// exactly (a damaged record, another kind of file, trailing bytes) counts as
// damaged; *detail says why.
LibraryFileState LoadLibraryFile(const std::string& path, CZELKestrum& lib, std::string* detail);

// Writes the library to a new file beside the target and renames it over the
// target, so that the old file stays whole until the new one is complete.
bool SaveLibraryFile(const std::string& path, CZELKestrum& lib, std::string* detail);

} // namespace cli
