// CDC: a device context. It draws with a Qt painter that the framework keeps
// out of sight: a host or a test makes a drawing CDC with CPainterDC
// (afx/ui/dc_qt.h, framework-internal, the only place that names Qt), over an
// image, a pixmap, or a widget in its paint event.
//
// The handle m_hDC stands for that painter: framework code that receives only
// an HDC (IPicture::Render) finds the painter again through it. A handle is
// live from the CDC's construction to its destruction; FromHandle knows only
// live handles and answers null for any other value, where MFC would make a
// temporary CDC around a foreign handle (there are no foreign handles here).
#pragma once

#include "afx/ui/geometry.h"
#include "afx/win32/types.h"

typedef DWORD COLORREF;
typedef DWORD* LPCOLORREF;

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))

// GetDeviceCaps indexes.
#define HORZSIZE 4    // width in millimetres
#define VERTSIZE 6    // height in millimetres
#define HORZRES 8     // width in pixels
#define VERTRES 10    // height in pixels
#define BITSPIXEL 12  // colour bits per pixel
#define LOGPIXELSX 88 // pixels per logical inch, across
#define LOGPIXELSY 90 // pixels per logical inch, down

// HIMETRIC units (hundredths of a millimetre) in an inch.
#define HIMETRIC_PER_INCH 2540

class CDC {
public:
    // A CDC with no device: m_hDC is null, the device capabilities are 0 and
    // unit conversions assume a 96 dpi screen; drawing does nothing.
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    // The CDC that owns a live handle; null for null or any other value.
    static CDC* FromHandle(HDC hDC);

    // LOGPIXELSX/Y, HORZRES/VERTRES, HORZSIZE/VERTSIZE, BITSPIXEL of the
    // device; 0 for other indexes and for a CDC with no device.
    int GetDeviceCaps(int nIndex) const;

    // Device pixels to HIMETRIC and back, with the device's logical
    // resolution, rounded to the nearest unit (100 px at 96 dpi is 2646).
    void DPtoHIMETRIC(LPSIZE lpSize) const;
    void HIMETRICtoDP(LPSIZE lpSize) const;

    // Fills the rectangle (right and bottom edges excluded) with one colour.
    // A rectangle with no area fills nothing.
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);

    HDC m_hDC;

protected:
    // For the framework's own device contexts: makes hDC this CDC's live
    // handle (null unregisters it).
    void SetHandle(HDC hDC);

private:
    int LogicalDpi(int nIndex) const;
};
