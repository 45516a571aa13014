// Decoding one image of an icon or cursor file into a Qt image.
// Framework-internal: only afx sources and afx tests include it.
#pragma once

#include <QImage>

#include "afx/win32/icon_image.h"

namespace afx::icon {

// The image as ARGB32 (not premultiplied), of the size ProbeIconImage
// reports; a null image when the bytes do not decode. Bitmaps without alpha
// take their transparency from the AND mask: a set mask bit gives a fully
// transparent pixel, a clear one a fully opaque pixel. A 32-bit bitmap uses
// its own alpha unless every alpha byte is 0 (older writers left it so), in
// which case the mask applies as well.
QImage DecodeIconImage(ByteView image);

} // namespace afx::icon
