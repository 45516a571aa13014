#include "afx/ui/geometry.h"

#include <climits>
#include <gtest/gtest.h>

TEST(MulDiv, RoundsToNearestWithA64BitIntermediate)
{
    struct Case {
        int number, numerator, denominator, expected;
    };
    const Case cases[] = {
        {100, 2540, 96, 2646},          // 2645.83
        {3, 1, 2, 2},                   // 1.5: halves away from zero
        {-3, 1, 2, -2},                 // -1.5
        {5, 1, -2, -3},                 // -2.5
        {-5, 1, -2, 3},                 // 2.5
        {1, 1, 3, 0},                   // 0.33
        {2, 1, 3, 1},                   // 0.67
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, // the product overflows 32 bits, the result does not
        {INT_MAX, 2, 1, -1},            // the result overflows
        {7, 5, 0, -1},                  // no denominator
        {0, 5, 7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
}

TEST(CRect, SizesEdgesAndConversions)
{
    CRect rect(10, 20, 110, 70);
    EXPECT_EQ(rect.Width(), 100);
    EXPECT_EQ(rect.Height(), 50);
    EXPECT_EQ(rect.Size(), CSize(100, 50));
    EXPECT_EQ(rect.TopLeft(), CPoint(10, 20));
    EXPECT_EQ(rect.BottomRight(), CPoint(110, 70));
    EXPECT_EQ(rect.CenterPoint(), CPoint(60, 45));
    EXPECT_TRUE(rect.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(rect.PtInRect(CPoint(110, 20))); // right edge excluded
    EXPECT_FALSE(rect.PtInRect(CPoint(10, 70)));  // bottom edge excluded

    LPRECT p = rect;
    p->right = 210;
    EXPECT_EQ(rect.Width(), 200);
    const CRect& constRect = rect;
    LPCRECT cp = constRect;
    EXPECT_EQ(cp, &rect);
    EXPECT_EQ(CRect(cp), rect);
    EXPECT_EQ(CRect(static_cast<LPCRECT>(nullptr)), CRect());

    EXPECT_EQ(CRect(CPoint(1, 2), CSize(3, 4)), CRect(1, 2, 4, 6));
    EXPECT_EQ(CRect(CPoint(1, 2), CPoint(3, 4)), CRect(1, 2, 3, 4));
    EXPECT_NE(CRect(1, 2, 3, 4), CRect(1, 2, 3, 5));
    RECT raw{4, 3, 2, 1};
    CRect fromRaw(raw);
    EXPECT_EQ(fromRaw, raw);
    fromRaw.NormalizeRect();
    EXPECT_EQ(fromRaw, CRect(2, 1, 4, 3));

    CRect r;
    EXPECT_TRUE(r.IsRectNull());
    EXPECT_TRUE(r.IsRectEmpty());
    r.SetRect(0, 0, 5, 0);
    EXPECT_TRUE(r.IsRectEmpty());
    EXPECT_FALSE(r.IsRectNull());
    r.SetRect(0, 0, 5, 5);
    r.OffsetRect(10, 20);
    EXPECT_EQ(r, CRect(10, 20, 15, 25));
    r.InflateRect(1, 2);
    EXPECT_EQ(r, CRect(9, 18, 16, 27));
    r.DeflateRect(1, 2);
    EXPECT_EQ(r, CRect(10, 20, 15, 25));
    r.SetRectEmpty();
    EXPECT_TRUE(r.IsRectNull());
}

TEST(CRect, IntersectAndUnion)
{
    struct Case {
        CRect a, b;
        BOOL overlaps;
        CRect intersection, union_;
    };
    const Case cases[] = {
        {CRect(0, 0, 10, 10), CRect(5, 5, 15, 15), TRUE, CRect(5, 5, 10, 10), CRect(0, 0, 15, 15)},
        // Touching edges do not overlap (right and bottom are excluded).
        {CRect(0, 0, 10, 10), CRect(10, 0, 20, 10), FALSE, CRect(), CRect(0, 0, 20, 10)},
        {CRect(0, 0, 10, 10), CRect(20, 20, 30, 30), FALSE, CRect(), CRect(0, 0, 30, 30)},
        // An empty rectangle takes no part in a union.
        {CRect(0, 0, 10, 10), CRect(50, 50, 50, 60), FALSE, CRect(), CRect(0, 0, 10, 10)},
        {CRect(2, 2, 2, 2), CRect(3, 3, 3, 3), FALSE, CRect(), CRect()},
    };
    for (const Case& c : cases) {
        CRect intersection(1, 1, 1, 1);
        EXPECT_EQ(intersection.IntersectRect(c.a, c.b), c.overlaps);
        EXPECT_EQ(intersection, c.intersection);
        CRect united;
        united.UnionRect(c.a, c.b);
        EXPECT_EQ(united, c.union_);
    }
}

TEST(CPointAndCSize, Arithmetic)
{
    CPoint p(3, 4);
    p.Offset(1, 1);
    EXPECT_EQ(p, CPoint(4, 5));
    EXPECT_EQ(p + CSize(1, 2), CPoint(5, 7));
    EXPECT_EQ(p - CSize(1, 2), CPoint(3, 3));
    EXPECT_EQ(p - CPoint(1, 1), CSize(3, 4));
    p += CSize(10, 10);
    EXPECT_EQ(p, CPoint(14, 15));
    EXPECT_EQ(CSize(1, 2) + CSize(3, 4), CSize(4, 6));
    EXPECT_EQ(-CSize(1, 2), CSize(-1, -2));
}
