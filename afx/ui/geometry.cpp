#include "afx/ui/geometry.h"

#include <algorithm>
#include <climits>
#include <utility>

int MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    if (nDenominator == 0)
        return -1;
    long long product = static_cast<long long>(nNumber) * nNumerator;
    long long denominator = nDenominator;
    if (denominator < 0) {
        product = -product;
        denominator = -denominator;
    }
    // Round half away from zero.
    long long half = denominator / 2;
    long long result = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    if (result > INT_MAX || result < INT_MIN)
        return -1;
    return static_cast<int>(result);
}

void CRect::NormalizeRect()
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

BOOL CRect::IntersectRect(LPCRECT lpRect1, LPCRECT lpRect2)
{
    CRect overlap(std::max(lpRect1->left, lpRect2->left), std::max(lpRect1->top, lpRect2->top),
                  std::min(lpRect1->right, lpRect2->right), std::min(lpRect1->bottom, lpRect2->bottom));
    if (CRect(lpRect1).IsRectEmpty() || CRect(lpRect2).IsRectEmpty() || overlap.IsRectEmpty()) {
        SetRectEmpty();
        return FALSE;
    }
    *this = overlap;
    return TRUE;
}

BOOL CRect::UnionRect(LPCRECT lpRect1, LPCRECT lpRect2)
{
    CRect a(lpRect1);
    CRect b(lpRect2);
    if (a.IsRectEmpty() && b.IsRectEmpty()) {
        SetRectEmpty();
        return FALSE;
    }
    if (a.IsRectEmpty()) {
        *this = b;
        return TRUE;
    }
    if (b.IsRectEmpty()) {
        *this = a;
        return TRUE;
    }
    SetRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom));
    return TRUE;
}
