// CPoint, CSize and CRect: the Win32 POINT, SIZE and RECT with the MFC
// helpers, plus MulDiv for scaling coordinates between units.
//
// A rectangle includes its left and top edges and excludes its right and
// bottom edges, as in GDI: Width() is right - left.
#pragma once

#include "afx/win32/types.h"

// (nNumber * nNumerator) / nDenominator with a 64-bit intermediate, rounded
// to the nearest integer (halves away from zero). Returns -1 when
// nDenominator is 0 or the result does not fit in an int, as Win32 does.
int MulDiv(int nNumber, int nNumerator, int nDenominator);

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int initCX, int initCY) : SIZE{initCX, initCY} {}
    CSize(SIZE initSize) : SIZE(initSize) {}

    bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
    bool operator!=(const SIZE& other) const { return !(*this == other); }
    CSize operator+(SIZE other) const { return CSize(cx + other.cx, cy + other.cy); }
    CSize operator-(SIZE other) const { return CSize(cx - other.cx, cy - other.cy); }
    CSize operator-() const { return CSize(-cx, -cy); }
    void operator+=(SIZE other)
    {
        cx += other.cx;
        cy += other.cy;
    }
    void operator-=(SIZE other)
    {
        cx -= other.cx;
        cy -= other.cy;
    }
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int initX, int initY) : POINT{initX, initY} {}
    CPoint(POINT initPt) : POINT(initPt) {}
    CPoint(SIZE initSize) : POINT{initSize.cx, initSize.cy} {}

    void Offset(int xOffset, int yOffset)
    {
        x += xOffset;
        y += yOffset;
    }
    void Offset(SIZE size) { Offset(size.cx, size.cy); }
    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    bool operator!=(const POINT& other) const { return !(*this == other); }
    CPoint operator+(SIZE size) const { return CPoint(x + size.cx, y + size.cy); }
    CPoint operator-(SIZE size) const { return CPoint(x - size.cx, y - size.cy); }
    // The distance between two points.
    CSize operator-(POINT other) const { return CSize(x - other.x, y - other.y); }
    void operator+=(SIZE size) { Offset(size); }
    void operator-=(SIZE size) { Offset(-size.cx, -size.cy); }
};

class CRect : public RECT {
public:
    // Unlike MFC, a default rectangle is all zeros rather than uninitialised.
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& srcRect) : RECT(srcRect) {}
    CRect(LPCRECT lpSrcRect) : RECT(lpSrcRect ? *lpSrcRect : RECT{0, 0, 0, 0}) {}
    CRect(POINT point, SIZE size) : RECT{point.x, point.y, point.x + size.cx, point.y + size.cy} {}
    CRect(POINT topLeft, POINT bottomRight) : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    // By value: MFC hands out references into the rectangle, which C++ only
    // allows through type punning.
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    // Empty: no area (width or height zero or negative).
    BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
    // Null: all four coordinates zero.
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT point) const
    {
        return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
    }

    void SetRect(int x1, int y1, int x2, int y2)
    {
        left = x1;
        top = y1;
        right = x2;
        bottom = y2;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void CopyRect(LPCRECT lpSrcRect) { *static_cast<RECT*>(this) = *lpSrcRect; }
    BOOL EqualRect(LPCRECT lpRect) const
    {
        return left == lpRect->left && top == lpRect->top && right == lpRect->right && bottom == lpRect->bottom;
    }

    void OffsetRect(int x, int y)
    {
        left += x;
        right += x;
        top += y;
        bottom += y;
    }
    void OffsetRect(POINT point) { OffsetRect(point.x, point.y); }
    void OffsetRect(SIZE size) { OffsetRect(size.cx, size.cy); }
    void InflateRect(int x, int y)
    {
        left -= x;
        top -= y;
        right += x;
        bottom += y;
    }
    void InflateRect(SIZE size) { InflateRect(size.cx, size.cy); }
    void DeflateRect(int x, int y) { InflateRect(-x, -y); }
    void DeflateRect(SIZE size) { InflateRect(-size.cx, -size.cy); }
    // Swaps edges so that left <= right and top <= bottom.
    void NormalizeRect();
    // The overlap of two rectangles; FALSE and an empty (null) rectangle when
    // they do not overlap.
    BOOL IntersectRect(LPCRECT lpRect1, LPCRECT lpRect2);
    // The smallest rectangle holding both; empty inputs are ignored.
    BOOL UnionRect(LPCRECT lpRect1, LPCRECT lpRect2);

    bool operator==(const RECT& other) const { return EqualRect(&other); }
    bool operator!=(const RECT& other) const { return !EqualRect(&other); }
    CRect& operator=(const RECT& srcRect)
    {
        CopyRect(&srcRect);
        return *this;
    }
};
