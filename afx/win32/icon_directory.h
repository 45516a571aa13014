// The directory at the head of an icon (.ico) or cursor (.cur) file, and
// the choice among the images it lists. Framework-internal.
#pragma once

#include <optional>
#include <vector>

#include "afx/win32/icon_bytes.h"
#include "afx/win32/icon_image.h"

namespace afx::icon {

enum class DirectoryKind { Icon = 1, Cursor = 2 };

struct DirectoryEntry {
    ByteView image;
    // The entry's planes and bit-count fields, which a cursor file uses for
    // the hot spot of the image.
    WORD hotSpotX = 0;
    WORD hotSpotY = 0;
};

struct Directory {
    DirectoryKind kind = DirectoryKind::Icon;
    std::vector<DirectoryEntry> entries;
};

// Nothing unless the file starts with a valid directory of at least one
// entry whose images all lie, non-empty, inside the file.
std::optional<Directory> ReadDirectory(ByteView file);

// An image offered to the choice: its index in the directory and what its
// header says.
struct Candidate {
    std::size_t index = 0;
    ImageFacts facts;
};

// The candidate to load for a requested size (0 in either dimension leaves
// that dimension free; both 0 asks for the file's best image). The largest
// image, deepest first, when nothing is requested; otherwise the exact size,
// else the nearest larger one (to scale down), else the largest smaller one;
// among images of one size the deepest, then the first in the file.
// Nothing when there are no candidates.
std::optional<Candidate> ChooseImage(const std::vector<Candidate>& candidates, int cx, int cy);

} // namespace afx::icon
