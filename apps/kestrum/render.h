// Drawing an item into a PNG file through the calls a host would use.
#pragma once

#include <optional>
#include <string>

#include "kestrum/kestrum.h"

namespace cli {

struct RenderSize {
    int width;
    int height;
};

// "WxH" with both between 1 and 8192.
std::optional<RenderSize> ParseRenderSize(const std::string& text);

// An image or GIF item is drawn with DrawJpeg (whole, or cut with cut set)
// into a white canvas of the size, by default the picture's own; an icon or
// cursor item's first frame comes from LoadIcon or LoadCursor, at the size
// or at the size stored in its file. Writes OUT as PNG.
bool RenderItem(CZELResItem& item, const std::optional<RenderSize>& size, bool cut, const std::string& out,
                std::string* error);

} // namespace cli
