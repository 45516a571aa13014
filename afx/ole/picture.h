// OLE pictures: IPicture and OleLoadPicture.
//
// A picture is a decoded still image (JPEG, BMP, GIF's first frame, PNG) with
// its size in HIMETRIC units, hundredths of a millimetre, taken from the
// resolution its file declares, or 96 dpi when it declares none.
#pragma once

#include "afx/ole/stream.h"
#include "afx/ole/unknown.h"

typedef LONG OLE_XPOS_HIMETRIC;
typedef LONG OLE_YPOS_HIMETRIC;
typedef LONG OLE_XSIZE_HIMETRIC;
typedef LONG OLE_YSIZE_HIMETRIC;
typedef UINT OLE_HANDLE;
typedef SHORT PICTYPE_T;

#define PICTYPE_UNINITIALIZED (-1)
#define PICTYPE_NONE 0
#define PICTYPE_BITMAP 1
#define PICTYPE_METAFILE 2
#define PICTYPE_ICON 3
#define PICTYPE_ENHMETAFILE 4

// The bytes are no picture that the loader can decode.
#define CTL_E_INVALIDPICTURE ((HRESULT)0x800A01E1)

extern const IID IID_IPicture;

struct IPicture : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) = 0;
    // Draws the source rectangle (xSrc, ySrc, cxSrc, cySrc), in HIMETRIC with
    // the origin at the picture's bottom-left corner and y going up, into the
    // destination rectangle (x, y, cx, cy) in device pixels, scaling it. The
    // edge at ySrc lands on the destination's top edge, so the whole picture
    // upright is (0, height, width, -height). Parts of the source rectangle
    // that lie outside the picture are not drawn: the destination stays as it
    // was there. pRcWBounds is for metafiles and is ignored. E_INVALIDARG for
    // a handle that is no live drawing device context, or a zero source
    // extent.
    virtual HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                             OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc,
                                             OLE_YSIZE_HIMETRIC cySrc, LPCRECT pRcWBounds) = 0;

protected:
    ~IPicture() = default;
};

// Reads a picture from the stream and decodes it. lSize is the number of
// bytes to read (fewer if the stream ends first), or 0 to read to the end of
// the stream; at most 256 MiB are read, and a longer stream fails with
// E_OUTOFMEMORY. A picture whose header claims more pixels than its bytes
// could plausibly hold (beyond 32 MiB decoded, 4 KiB of pixels per byte of
// file) is refused as invalid. On success
// *lplpvObj is an IPicture (for IID_IPicture or IID_IUnknown) that the
// caller releases. Otherwise *lplpvObj is null and the result says why:
// E_POINTER, E_INVALIDARG (negative size), E_NOINTERFACE, the stream's own
// read error, or CTL_E_INVALIDPICTURE for bytes that are no JPEG, BMP, GIF or
// PNG picture. fRunmode is accepted and has no effect on a bitmap.
HRESULT OleLoadPicture(IStream* lpstream, LONG lSize, BOOL fRunmode, REFIID riid, void** lplpvObj);
