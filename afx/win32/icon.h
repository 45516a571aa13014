// Icons and cursors: loading them from .ico, .cur and .ani files, freeing
// them, and looking at what a handle holds.
//
// An HICON (HCURSOR is the same type) is a handle to a decoded image, its
// hot spot and, for an animated cursor, its frames and its steps: each step
// shows one frame for a number of jiffies (1/60 s). A still icon or cursor
// has one frame and one step of 0 jiffies. Whoever gets a handle owns it and
// frees it with DestroyIcon or DestroyCursor; a pointer that is not a live
// handle is refused by every function here rather than followed.
#pragma once

#include <vector>

#include "afx/win32/types.h"

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define IMAGE_ENHMETAFILE 3

#define LR_DEFAULTCOLOR 0x00000000
#define LR_MONOCHROME 0x00000001
#define LR_COLOR 0x00000002
#define LR_COPYRETURNORG 0x00000004
#define LR_COPYDELETEORG 0x00000008
#define LR_LOADFROMFILE 0x00000010
#define LR_LOADTRANSPARENT 0x00000020
#define LR_DEFAULTSIZE 0x00000040
#define LR_VGACOLOR 0x00000080
#define LR_LOADMAP3DCOLORS 0x00001000
#define LR_CREATEDIBSECTION 0x00002000
#define LR_COPYFROMRESOURCE 0x00004000
#define LR_SHARED 0x00008000

// The size LR_DEFAULTSIZE stands for, as the system metrics SM_CXICON,
// SM_CYICON, SM_CXCURSOR and SM_CYCURSOR give it.
#define AFX_DEFAULT_ICON_SIZE 32

struct ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};
typedef ICONINFO* PICONINFO;

// Loads an icon (IMAGE_ICON) or cursor (IMAGE_CURSOR) from the file named by
// name; LR_LOADFROMFILE must be given. Any of .ico, .cur and .ani content
// loads as either type; the type decides the handle's kind (GetIconInfo's
// fIcon) and its hot spot: a cursor loaded from a .cur or .ani file keeps the
// file's hot spot, everything else has its hot spot at the centre.
//
// Size: cx and cy of 0 take the chosen image's own size (or 32 with
// LR_DEFAULTSIZE). With both 0 the file's largest image is chosen, the one
// of most colours among equals, then the first; otherwise the image of the
// requested size, else the nearest larger one, else the largest smaller one
// (most colours first among equals), scaled smoothly to exactly cx by cy
// (hot spot scaled with it). Sizes above 1024 are refused. Every frame of an
// animated cursor comes out at the size of its first frame, and the handle
// has the first frame's hot spot.
//
// Null for: another image type, no LR_LOADFROMFILE (resources of modules
// are not loaded here), a resource number instead of a name, a file that
// cannot be read or is not a regular file, an empty file or one above
// 16 MiB, and any content that does not decode (see AfxLoadIconFromMemory).
// Other flags (LR_SHARED, LR_MONOCHROME, ...) are ignored: every call gives
// a new handle in full colour. hInst is not used.
HANDLE LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad);
#define LoadImage LoadImageA

// The same loading from bytes in memory, which the call does not keep. uType
// is IMAGE_ICON or IMAGE_CURSOR; cx and cy as for LoadImage (0 is the
// image's own size). Null for malformed or hostile content: a directory whose
// entries point outside the bytes or are empty; images wider or taller than
// 1024 pixels or in a format other than PNG or an uncompressed bitmap of 1,
// 4, 8, 16, 24 or 32 bits; truncated images; animated cursors with more than
// 1024 frames, 4096 steps, or more than 128 MiB of frames once decoded.
HICON AfxLoadIconFromMemory(const BYTE* pData, SIZE_T nSize, UINT uType, int cx, int cy);

// Free a handle (of either kind); FALSE for null or anything that is not a
// live handle.
BOOL DestroyIcon(HICON hIcon);
BOOL DestroyCursor(HCURSOR hCursor);

// fIcon and the hot spot. There are no GDI bitmaps here: hbmMask and
// hbmColor are always null, and nothing needs freeing; AfxGetIconPixels
// gives the image.
BOOL GetIconInfo(HICON hIcon, PICONINFO piconinfo);

// The size of the handle's image (every frame has it).
BOOL AfxGetIconSize(HICON hIcon, LPSIZE pSize);
// Frames and steps; 0 for what is not a live handle.
int AfxGetIconFrameCount(HICON hIcon);
int AfxGetIconStepCount(HICON hIcon);
// How long a step shows, in jiffies (1/60 s), and which frame it shows.
BOOL AfxGetIconStepRate(HICON hIcon, int nStep, DWORD* pJiffies);
BOOL AfxGetIconStepFrame(HICON hIcon, int nStep, int* pFrame);
// A frame's pixels, rows top to bottom, as 0xAARRGGBB values whose colour is
// not premultiplied by alpha; a fully transparent pixel is 0. pSize may be
// null.
BOOL AfxGetIconPixels(HICON hIcon, int nFrame, std::vector<DWORD>* pArgb, LPSIZE pSize);
