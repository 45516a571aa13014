// Animated cursor files: a RIFF form of type 'ACON' holding an 'anih'
// header, optional 'rate' and 'seq ' chunks and a 'LIST' of type 'fram'
// whose 'icon' chunks are complete icon or cursor files, one per frame.
// Framework-internal.
#pragma once

#include <optional>
#include <vector>

#include "afx/win32/icon_bytes.h"

namespace afx::icon {

struct AnimatedCursor {
    std::vector<ByteView> frames; // each an icon or cursor file
    std::vector<DWORD> stepRates; // display time of each step, in jiffies (1/60 s)
    std::vector<int> stepFrames;  // frame shown at each step
};

// True when the bytes start like a RIFF 'ACON' form.
bool IsAnimatedCursor(ByteView file);

// Nothing when the form is malformed: a chunk reaching past its container, a
// missing or short 'anih' header, a header whose frame count differs from the
// frames present, frames kept as raw bitmaps rather than icon files, more
// than kMaxAniFrames frames or kMaxAniSteps steps, 'rate' or 'seq ' shorter
// than the step count, a sequence naming a frame that does not exist, or a
// repeated 'anih', 'rate', 'seq ' or 'fram' chunk.
//
// Steps: the header's step count, or the frame count when that is 0. A 'seq '
// chunk, when present, gives each step's frame (whether or not the header's
// sequence flag says so: the chunk is the information); without one, step i
// shows frame i. Rates come from 'rate', else the header's display rate.
std::optional<AnimatedCursor> ReadAnimatedCursor(ByteView file);

} // namespace afx::icon
