// OLE pictures: IPicture and OleLoadPicture.
#pragma once

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

extern const IID IID_IPicture;

struct IPicture : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                             OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc,
                                             OLE_YSIZE_HIMETRIC cySrc, LPCRECT pRcWBounds) = 0;

protected:
    ~IPicture() = default;
};
