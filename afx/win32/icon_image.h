// One image of an icon or cursor file: either a PNG stream or a
// device-independent bitmap (a BITMAPINFOHEADER, an optional colour table,
// the colour rows and a 1-bit AND mask, both bottom-up). Framework-internal.
#pragma once

#include <optional>

#include "afx/win32/icon_bytes.h"

namespace afx::icon {

// What an image's own header says, read without decoding the pixels: the
// loader chooses among a file's images with it.
struct ImageFacts {
    int width = 0;
    int height = 0;
    int bitCount = 0; // bits per pixel, alpha included
    bool isPng = false;
};

// Nothing when the header is unreadable, describes an image the decoder
// does not handle, or is larger than kMaxDimension either way.
std::optional<ImageFacts> ProbeIconImage(ByteView image);

} // namespace afx::icon
