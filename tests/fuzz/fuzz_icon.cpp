// Feeds arbitrary bytes to the icon, cursor and animated cursor reader, as
// both image types, at the file's own size and at 16 by 16, and looks at
// whatever handle comes back before freeing it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "afx/win32/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (UINT type : {IMAGE_ICON, IMAGE_CURSOR}) {
        for (int extent : {0, 16}) {
            HICON icon = AfxLoadIconFromMemory(data, size, type, extent, extent);
            if (!icon)
                continue;
            const int frames = AfxGetIconFrameCount(icon);
            const int steps = AfxGetIconStepCount(icon);
            if (frames < 1 || steps < 1)
                __builtin_trap();
            for (int step = 0; step < steps; ++step) {
                int frame = -1;
                DWORD jiffies = 0;
                if (!AfxGetIconStepFrame(icon, step, &frame) || frame < 0 || frame >= frames ||
                    !AfxGetIconStepRate(icon, step, &jiffies))
                    __builtin_trap();
            }
            SIZE imageSize{};
            std::vector<DWORD> pixels;
            if (!AfxGetIconPixels(icon, frames - 1, &pixels, &imageSize) ||
                pixels.size() != static_cast<size_t>(imageSize.cx) * static_cast<size_t>(imageSize.cy))
                __builtin_trap();
            if (extent && (imageSize.cx != extent || imageSize.cy != extent))
                __builtin_trap();
            ICONINFO info{};
            if (!GetIconInfo(icon, &info) || info.xHotspot >= static_cast<DWORD>(imageSize.cx) ||
                info.yHotspot >= static_cast<DWORD>(imageSize.cy))
                __builtin_trap();
            if (!DestroyIcon(icon) || DestroyIcon(icon))
                __builtin_trap();
        }
    }
    return 0;
}
