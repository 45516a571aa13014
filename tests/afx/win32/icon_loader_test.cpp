// Loading icons, cursors and animated cursors from the fixture files that
// tests/data/icons/make_icons.py writes. The pixel formulas below repeat the
// script's, so every decoded pixel can be checked exactly.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/afx/win32/icon_test_support.h"

using namespace icon_test;

// ---------------------------------------------------------------------------
// Choosing and scaling among the images of a multi-size icon

namespace {

struct SizeCase {
    const char* name;
    int cx, cy;
    SIZE expectedSize;
    // Pixels that tell which image was chosen and that it was scaled right.
    std::vector<std::pair<POINT, DWORD>> probes;
};

void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.name;
}

class IconSizeChoice : public ::testing::TestWithParam<SizeCase> {};

constexpr DWORD kRed = Argb(255, 255, 0, 0), kGreen = Argb(255, 0, 255, 0), kBlue = Argb(255, 0, 0, 255);
constexpr DWORD kOrange = Argb(255, 200, 100, 0), kSky = Argb(255, 0, 100, 200);
constexpr DWORD kLeaf = Argb(255, 10, 200, 30);
constexpr DWORD kYellow = Argb(255, 255, 255, 0), kCyan = Argb(255, 0, 255, 255), kMagenta = Argb(255, 255, 0, 255);
constexpr DWORD kHalfWhite = Argb(128, 255, 255, 255);

} // namespace

TEST_P(IconSizeChoice, PicksTheDocumentedImageAtTheRequestedSize)
{
    const SizeCase& c = GetParam();
    Icon icon = Load(ReadFixture("multi.ico"), IMAGE_ICON, c.cx, c.cy);
    ASSERT_TRUE(icon);
    SIZE size = SizeOf(icon.get());
    EXPECT_EQ(size.cx, c.expectedSize.cx);
    EXPECT_EQ(size.cy, c.expectedSize.cy);
    Pixels p = FramePixels(icon.get());
    for (const auto& [at, colour] : c.probes)
        EXPECT_EQ(p.at(at.x, at.y), colour) << "at " << at.x << "," << at.y << std::hex << " got " << p.at(at.x, at.y);
}

INSTANTIATE_TEST_SUITE_P(
    MultiSize, IconSizeChoice,
    ::testing::Values(
        // Nothing asked: the largest image (128, a PNG without alpha), not the first.
        SizeCase{"StoredSizeIsTheLargest", 0, 0, {128, 128}, {{{10, 10}, kOrange}, {{100, 120}, kSky}}},
        // 16: the 32-bit PNG rather than the 4-bit bitmap of the same size.
        SizeCase{"ExactSizePrefersMoreColours",
                 16,
                 16,
                 {16, 16},
                 {{{0, 0}, kRed}, {{15, 0}, kGreen}, {{0, 15}, kBlue}, {{15, 15}, 0}, {{7, 7}, kRed}}},
        // 32: the 24-bit bitmap rather than the 8-bit one; its mask clears the corner.
        SizeCase{"ExactSizeBitmapWithMask", 32, 32, {32, 32}, {{{0, 0}, kLeaf}, {{27, 27}, kLeaf}, {{31, 31}, 0}}},
        // 48: no such image; the 64 one scaled down, its quadrants intact.
        SizeCase{"ScalesDownTheNearestLarger",
                 48,
                 48,
                 {48, 48},
                 {{{5, 5}, kYellow}, {{42, 5}, kCyan}, {{5, 42}, kMagenta}, {{42, 42}, kHalfWhite}}},
        // 20: the nearest larger is 32 (the 24-bit bitmap), not 16.
        SizeCase{"NearestLargerBeatsNearerSmaller", 20, 20, {20, 20}, {{{2, 2}, kLeaf}}},
        // 8: smaller than everything; the 16 PNG scaled down.
        SizeCase{"SmallerThanAllScalesDown", 8, 8, {8, 8}, {{{1, 1}, kRed}, {{6, 1}, kGreen}, {{1, 6}, kBlue}}},
        // 200: larger than everything; the largest scaled up.
        SizeCase{"LargerThanAllScalesUpTheLargest", 200, 200, {200, 200}, {{{10, 10}, kOrange}, {{190, 190}, kSky}}},
        // A free height keeps the chosen image's own.
        SizeCase{"FreeHeightKeepsTheImageHeight", 64, 0, {64, 64}, {{{5, 5}, kYellow}}},
        SizeCase{"NonSquareRequestIsExact", 64, 32, {64, 32}, {{{5, 5}, kYellow}, {{60, 30}, kHalfWhite}}}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST(IconLoadImage, DefaultSizeFlagMeansThirtyTwoAndFromFileIsRequired)
{
    const std::string path = FixturePath("multi.ico");
    Icon standard = LoadFile(path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE);
    ASSERT_TRUE(standard);
    EXPECT_EQ(SizeOf(standard.get()).cx, 32);
    EXPECT_EQ(FramePixels(standard.get()).at(0, 0), kLeaf);

    Icon own = LoadFile(path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    ASSERT_TRUE(own);
    EXPECT_EQ(SizeOf(own.get()).cx, 128);

    EXPECT_FALSE(LoadFile(path, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    EXPECT_FALSE(LoadFile(path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    EXPECT_FALSE(LoadImage(nullptr, MAKEINTRESOURCE(32512), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
    EXPECT_FALSE(LoadImage(nullptr, nullptr, IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
}

TEST(IconLoadImage, RequestedSizesOutsideTheLimitsAreRefused)
{
    const Bytes file = ReadFixture("multi.ico");
    EXPECT_FALSE(Load(file, IMAGE_ICON, -16, 16));
    EXPECT_FALSE(Load(file, IMAGE_ICON, 16, -1));
    EXPECT_FALSE(Load(file, IMAGE_ICON, 1025, 16));
    EXPECT_FALSE(Load(file, IMAGE_ICON, 16, 100000));
    Icon largest = Load(file, IMAGE_ICON, 1024, 1024);
    ASSERT_TRUE(largest);
    EXPECT_EQ(SizeOf(largest.get()).cy, 1024);
}

// ---------------------------------------------------------------------------
// Bitmap images of every depth, with padded rows, palettes and masks

namespace {

constexpr int kDepthWidth = 13, kDepthHeight = 11;

bool DepthMask(int x, int y)
{
    return (x + 2 * y) % 5 == 0;
}

DWORD PaletteColour(int index)
{
    return Argb(255, (index * 53 + 7) % 256, ((255 - index * 29) % 256 + 256) % 256, (index * 101 + 13) % 256);
}

unsigned Widen5(unsigned v)
{
    return (v << 3) | (v >> 2);
}

// The colour a bitmap of this depth holds at (x, y), before its mask.
DWORD DepthColour(int bits, int x, int y)
{
    switch (bits) {
    case 1:
    case 4:
    case 8:
        return PaletteColour((x * 7 + y * 3) % (1 << bits));
    case 16:
        return Argb(255, Widen5((x * 3) % 32), Widen5((y * 5) % 32), Widen5((x + y) % 32));
    case 24:
        return Argb(255, (x * 19) % 256, (y * 23) % 256, (x * y) % 256);
    default:
        return Argb((x * 40 + y * 9) % 256, (x * 19) % 256, (y * 23) % 256, 77);
    }
}

struct DepthCase {
    const char* file;
    int bits;
    bool alphaFromImage; // 32-bit with alpha: the mask does not apply
};

void PrintTo(const DepthCase& c, std::ostream* os)
{
    *os << c.file;
}

class BitmapDepths : public ::testing::TestWithParam<DepthCase> {};

} // namespace

TEST_P(BitmapDepths, DecodesEveryPixelAndTheMask)
{
    const DepthCase& c = GetParam();
    Icon icon = Load(ReadFixture(c.file));
    ASSERT_TRUE(icon);
    Pixels p = FramePixels(icon.get());
    ASSERT_EQ(p.size.cx, kDepthWidth);
    ASSERT_EQ(p.size.cy, kDepthHeight);
    int mismatches = 0;
    for (int y = 0; y < kDepthHeight; ++y) {
        for (int x = 0; x < kDepthWidth; ++x) {
            DWORD expected = DepthColour(c.bits, x, y);
            if (c.alphaFromImage) {
                if ((expected >> 24) == 0)
                    expected = 0;
            } else {
                expected |= 0xFF000000u;
                if (DepthMask(x, y))
                    expected = 0;
            }
            if (p.at(x, y) != expected && ++mismatches <= 5)
                ADD_FAILURE() << c.file << " at " << x << "," << y << std::hex << ": got " << p.at(x, y)
                              << " expected " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, BitmapDepths,
                         ::testing::Values(DepthCase{"depth1.ico", 1, false}, DepthCase{"depth4.ico", 4, false},
                                           DepthCase{"depth8.ico", 8, false}, DepthCase{"depth16.ico", 16, false},
                                           DepthCase{"depth24.ico", 24, false}, DepthCase{"depth32.ico", 32, true},
                                           // Alpha bytes all 0: the mask decides, colours opaque.
                                           DepthCase{"depth32_mask.ico", 24, false}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(IconBitmap, ThirtyTwoBitsWithoutItsMaskStillLoadsWhenAlphaIsThere)
{
    // Some writers leave the mask off 32-bit images; their alpha is enough.
    Bytes image = EntryImage(ReadFixture("depth32.ico"), 0);
    const size_t maskBytes = 4 * kDepthHeight;
    Bytes noMask(image.begin(), image.end() - static_cast<long>(maskBytes));
    Icon icon = Load(SingleEntryIcon(noMask));
    ASSERT_TRUE(icon);
    EXPECT_EQ(FramePixels(icon.get()).at(3, 2), DepthColour(32, 3, 2));

    // Without alpha the mask is needed, and its absence is a truncation.
    Bytes opaque = EntryImage(ReadFixture("depth32_mask.ico"), 0);
    Bytes opaqueNoMask(opaque.begin(), opaque.end() - static_cast<long>(maskBytes));
    EXPECT_FALSE(Load(SingleEntryIcon(opaqueNoMask)));
}

TEST(IconBitmap, PaletteIndexPastAShortColourTableIsBlack)
{
    // depth4.ico with a colour table cut to 2 entries (the colour used count
    // says 2): indices 2..15 fall outside it.
    Bytes image = EntryImage(ReadFixture("depth4.ico"), 0);
    Put32(image, 32, 2);
    image.erase(image.begin() + 40 + 8, image.begin() + 40 + 64);
    Icon icon = Load(SingleEntryIcon(image));
    ASSERT_TRUE(icon);
    Pixels p = FramePixels(icon.get());
    // (1, 0) has index 7 and (0, 1) index 3, both past the table; (2, 1)
    // has index 1.
    EXPECT_EQ(p.at(1, 0), Argb(255, 0, 0, 0));
    EXPECT_EQ(p.at(0, 1), Argb(255, 0, 0, 0));
    EXPECT_EQ(p.at(2, 1), PaletteColour(1));
}

// ---------------------------------------------------------------------------
// Cursors and hot spots

TEST(IconCursor, HotSpotComesFromTheChosenEntryAndScalesWithIt)
{
    const Bytes file = ReadFixture("pointer.cur");
    Icon stored = Load(file, IMAGE_CURSOR);
    ASSERT_TRUE(stored);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(stored.get(), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 5u);
    EXPECT_EQ(info.yHotspot, 27u);
    EXPECT_EQ(info.hbmMask, nullptr);
    EXPECT_EQ(info.hbmColor, nullptr);
    Pixels p = FramePixels(stored.get());
    EXPECT_EQ(p.at(0, 0), kRed);
    EXPECT_EQ(p.at(20, 0), 0u);

    Icon small = Load(file, IMAGE_CURSOR, 16, 16);
    ASSERT_TRUE(small);
    EXPECT_EQ(HotSpotOf(small.get()).x, 2);
    EXPECT_EQ(HotSpotOf(small.get()).y, 13);
    EXPECT_EQ(FramePixels(small.get()).at(8, 8), kBlue);

    Icon large = Load(file, IMAGE_CURSOR, 64, 64);
    ASSERT_TRUE(large);
    EXPECT_EQ(HotSpotOf(large.get()).x, 10);
    EXPECT_EQ(HotSpotOf(large.get()).y, 54);
}

TEST(IconCursor, TheRequestedTypeDecidesTheKindAndIconsHaveACentredHotSpot)
{
    Icon curAsIcon = Load(ReadFixture("pointer.cur"), IMAGE_ICON);
    ASSERT_TRUE(curAsIcon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(curAsIcon.get(), &info));
    EXPECT_TRUE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 16u);
    EXPECT_EQ(info.yHotspot, 16u);

    // The planes and bit count of an icon file are no hot spot.
    Icon icoAsCursor = Load(ReadFixture("multi.ico"), IMAGE_CURSOR);
    ASSERT_TRUE(icoAsCursor);
    ASSERT_TRUE(GetIconInfo(icoAsCursor.get(), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 64u);
    EXPECT_EQ(info.yHotspot, 64u);
}

TEST(IconCursor, HotSpotOutsideTheImageIsPulledInside)
{
    Bytes file = ReadFixture("pointer.cur");
    Put16(file, 6 + 16 + 4, 500); // the 32 entry's hot spot x
    Put16(file, 6 + 16 + 6, 40);
    Icon cursor = Load(file, IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(HotSpotOf(cursor.get()).x, 31);
    EXPECT_EQ(HotSpotOf(cursor.get()).y, 31);
}

// ---------------------------------------------------------------------------
// Animated cursors

TEST(IconAnimated, FramesRatesAndSequenceAreKept)
{
    Icon cursor = Load(ReadFixture("busy.ani"), IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    ASSERT_EQ(AfxGetIconFrameCount(cursor.get()), 3);
    ASSERT_EQ(AfxGetIconStepCount(cursor.get()), 5);
    const DWORD rates[] = {5, 10, 15, 20, 25};
    const int sequence[] = {0, 1, 2, 1, 0};
    for (int step = 0; step < 5; ++step) {
        DWORD rate = 0;
        int frame = -1;
        EXPECT_TRUE(AfxGetIconStepRate(cursor.get(), step, &rate));
        EXPECT_TRUE(AfxGetIconStepFrame(cursor.get(), step, &frame));
        EXPECT_EQ(rate, rates[step]) << step;
        EXPECT_EQ(frame, sequence[step]) << step;
    }
    DWORD rate = 0;
    int frame = 0;
    EXPECT_FALSE(AfxGetIconStepRate(cursor.get(), 5, &rate));
    EXPECT_FALSE(AfxGetIconStepFrame(cursor.get(), -1, &frame));

    const DWORD colours[] = {kRed, kGreen, kBlue};
    for (int f = 0; f < 3; ++f) {
        Pixels p = FramePixels(cursor.get(), f);
        EXPECT_EQ(p.size.cx, 32);
        EXPECT_EQ(p.at(16, 16), colours[f]) << f;
    }
    std::vector<DWORD> none;
    EXPECT_FALSE(AfxGetIconPixels(cursor.get(), 3, &none, nullptr));

    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor.get(), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 3u);
    EXPECT_EQ(info.yHotspot, 4u);
}

TEST(IconAnimated, WithoutRateOrSequenceStepsFollowTheFramesAndSizesMatchTheFirst)
{
    Icon cursor = Load(ReadFixture("plain.ani"), IMAGE_CURSOR);
    ASSERT_TRUE(cursor);
    ASSERT_EQ(AfxGetIconFrameCount(cursor.get()), 2);
    ASSERT_EQ(AfxGetIconStepCount(cursor.get()), 2);
    for (int step = 0; step < 2; ++step) {
        DWORD rate = 0;
        int frame = -1;
        ASSERT_TRUE(AfxGetIconStepRate(cursor.get(), step, &rate));
        ASSERT_TRUE(AfxGetIconStepFrame(cursor.get(), step, &frame));
        EXPECT_EQ(rate, 7u);
        EXPECT_EQ(frame, step);
    }
    // The second frame is stored at 16 and comes out at the first's 32.
    Pixels second = FramePixels(cursor.get(), 1);
    EXPECT_EQ(second.size.cx, 32);
    EXPECT_EQ(second.size.cy, 32);
    EXPECT_EQ(second.at(20, 20), kCyan);
    EXPECT_EQ(HotSpotOf(cursor.get()).x, 8);
}

TEST(IconAnimated, RequestedSizeAppliesToEveryFrame)
{
    Icon cursor = Load(ReadFixture("busy.ani"), IMAGE_CURSOR, 16, 16);
    ASSERT_TRUE(cursor);
    for (int f = 0; f < 3; ++f)
        EXPECT_EQ(FramePixels(cursor.get(), f).size.cx, 16);
    EXPECT_EQ(HotSpotOf(cursor.get()).x, 1);
    EXPECT_EQ(HotSpotOf(cursor.get()).y, 2);

    // Loaded as an icon the same file animates too.
    Icon icon = Load(ReadFixture("busy.ani"), IMAGE_ICON);
    ASSERT_TRUE(icon);
    EXPECT_EQ(AfxGetIconStepCount(icon.get()), 5);
    EXPECT_EQ(HotSpotOf(icon.get()).x, 16);
}

TEST(IconAnimated, StillImagesHaveOneFrameShownForever)
{
    Icon icon = Load(ReadFixture("depth8.ico"));
    ASSERT_TRUE(icon);
    EXPECT_EQ(AfxGetIconFrameCount(icon.get()), 1);
    EXPECT_EQ(AfxGetIconStepCount(icon.get()), 1);
    DWORD rate = 99;
    int frame = 99;
    EXPECT_TRUE(AfxGetIconStepRate(icon.get(), 0, &rate));
    EXPECT_TRUE(AfxGetIconStepFrame(icon.get(), 0, &frame));
    EXPECT_EQ(rate, 0u);
    EXPECT_EQ(frame, 0);
}
