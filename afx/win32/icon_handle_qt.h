// The Qt side of icon and cursor handles, for the framework's drawing and
// window code. Framework-internal: only afx sources and afx tests include it.
#pragma once

#include <QImage>

#include <vector>

#include "afx/win32/icon.h"

// What a handle stands for.
struct AfxIconContent {
    BOOL bIcon = TRUE;
    POINT hotSpot{0, 0};
    // All of one size; stored as QImage::Format_ARGB32.
    std::vector<QImage> frames;
    // One entry per step: its display time in jiffies, and its frame.
    std::vector<DWORD> stepRates;
    std::vector<int> stepFrames;
};

// A new handle that owns the content, or null when the content does not
// hold together: no frames, a null frame, frames of different sizes, step
// lists of different lengths or empty, a step naming a missing frame, or a
// hot spot outside the image. Frames in other formats are converted.
HICON AfxCreateIconHandle(AfxIconContent content);

// A frame of a live handle (Qt shares the pixels, nothing is copied); a null
// image for anything else. The handle may be destroyed afterwards: the image
// stays valid.
QImage AfxGetIconImage(HICON hIcon, int nFrame = 0);
