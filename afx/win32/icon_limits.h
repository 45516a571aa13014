// Bounds on what an icon, cursor or animated cursor file may make the
// loader read or allocate. Windows stores icons of at most 256 by 256 pixels
// and real animated cursors have a few dozen frames, so these leave ample
// room for honest files while keeping a hostile one from claiming gigabytes.
// Framework-internal.
#pragma once

#include <cstddef>

namespace afx::icon {

// Larger files are refused before they are read.
inline constexpr std::size_t kMaxFileBytes = 16u << 20;
// Widest and tallest image decoded from a file, and largest size asked for.
inline constexpr int kMaxDimension = 1024;
// Frames and steps of an animated cursor.
inline constexpr std::size_t kMaxAniFrames = 1024;
inline constexpr std::size_t kMaxAniSteps = 4096;
// Pixel memory that all frames of one handle may take together.
inline constexpr std::size_t kMaxDecodedBytes = 128u << 20;

} // namespace afx::icon
