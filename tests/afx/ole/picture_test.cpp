#include "afx/ole/picture.h"

#include <QImage>
#include <cstring>
#include <ostream>
#include <string>
#include <gtest/gtest.h>
#include <vector>

#include "afx/ui/dc_qt.h"
#include "tests/afx/ole/picture_samples.h"

using namespace picture_samples;

namespace {

// The destination rectangle of the drawing tests: 200x100 at (50, 50) on a
// 300x200 canvas, the rest of which must stay white.
const CRect kTarget(50, 50, 250, 150);

struct PictureSize {
    LONG width;
    LONG height;
};

PictureSize SizeOf(IPicture* picture)
{
    PictureSize size{-1, -1};
    EXPECT_EQ(picture->get_Width(&size.width), S_OK);
    EXPECT_EQ(picture->get_Height(&size.height), S_OK);
    return size;
}

// Draws on the canvas through a device context made for the drawing alone,
// so the painter has ended before the test looks at the pixels.
HRESULT RenderOn(QImage& canvas, IPicture* picture, const CRect& rect, LONG xSrc, LONG ySrc, LONG cxSrc, LONG cySrc)
{
    CPainterDC dc(&canvas);
    return picture->Render(dc.GetSafeHdc(), rect.left, rect.top, rect.Width(), rect.Height(), xSrc, ySrc, cxSrc,
                           cySrc, nullptr);
}

// The whole picture, upright, into the rectangle.
HRESULT RenderWhole(QImage& canvas, IPicture* picture, const CRect& rect)
{
    PictureSize size = SizeOf(picture);
    return RenderOn(canvas, picture, rect, 0, size.height, size.width, -size.height);
}

// The picture at its natural size from its top-left corner, cut at the
// rectangle's edges: the source extent is the rectangle's own size.
HRESULT RenderCut(QImage& canvas, IPicture* picture, const CRect& rect)
{
    PictureSize size = SizeOf(picture);
    SIZE extent{rect.Width(), rect.Height()};
    {
        CPainterDC dc(&canvas);
        dc.DPtoHIMETRIC(&extent);
    }
    return RenderOn(canvas, picture, rect, 0, size.height, extent.cx, -extent.cy);
}

// Every canvas pixel outside the rectangle is still white.
::testing::AssertionResult UntouchedOutside(const QImage& canvas, const CRect& rect)
{
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (!CRect(rect).PtInRect(CPoint(x, y)) && canvas.pixel(x, y) != qRgb(255, 255, 255))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") outside the rectangle was painted";
    return ::testing::AssertionSuccess();
}

void ExpectQuadrantsFill(const QImage& canvas, const CRect& r, int tolerance)
{
    const int midX = (r.left + r.right) / 2;
    const int midY = (r.top + r.bottom) / 2;
    // Corners of the rectangle and the middle of each quadrant.
    EXPECT_TRUE(ColourNear(canvas, r.left, r.top, kRed, tolerance));
    EXPECT_TRUE(ColourNear(canvas, r.right - 1, r.top, kGreen, tolerance));
    EXPECT_TRUE(ColourNear(canvas, r.left, r.bottom - 1, kBlue, tolerance));
    EXPECT_TRUE(ColourNear(canvas, r.right - 1, r.bottom - 1, kYellow, tolerance));
    EXPECT_TRUE(ColourNear(canvas, (r.left + midX) / 2, (r.top + midY) / 2, kRed, tolerance));
    EXPECT_TRUE(ColourNear(canvas, (midX + r.right) / 2, (r.top + midY) / 2, kGreen, tolerance));
    EXPECT_TRUE(ColourNear(canvas, (r.left + midX) / 2, (midY + r.bottom) / 2, kBlue, tolerance));
    EXPECT_TRUE(ColourNear(canvas, (midX + r.right) / 2, (midY + r.bottom) / 2, kYellow, tolerance));
    EXPECT_TRUE(UntouchedOutside(canvas, r));
}

} // namespace

// ---- Loading -----------------------------------------------------------------------

struct FormatCase {
    const char* format;
    int tolerance; // colour error the encoding may bring
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.format;
}

class PictureFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PictureFormats, WholePictureFillsTheRectangle)
{
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Quadrants(400, 400), GetParam().format), picture), S_OK);
    ASSERT_NE(picture.p, nullptr);
    SHORT type = PICTYPE_UNINITIALIZED;
    EXPECT_EQ(picture->get_Type(&type), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);

    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderWhole(canvas, picture.p, kTarget), S_OK);
    ExpectQuadrantsFill(canvas, kTarget, GetParam().tolerance);
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureFormats,
                         ::testing::Values(FormatCase{"BMP", 0}, FormatCase{"PNG", 0}, FormatCase{"JPEG", 48}),
                         [](const auto& info) { return std::string(info.param.format); });

TEST(OleLoadPicture, SizeInHimetricFollowsTheDeclaredResolution)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        LONG width;
        LONG height;
    };
    auto patched = [](QByteArray bytes, qsizetype at, std::initializer_list<unsigned char> values) {
        for (unsigned char v : values)
            bytes[at++] = static_cast<char>(v);
        return bytes;
    };
    const QByteArray jpeg300 = Encode(Quadrants(400, 300, 300), "JPEG");
    const QByteArray bmp300 = Encode(Quadrants(400, 300, 300), "BMP");
    // JFIF: units at 13, X density at 14, Y density at 16 (the file starts
    // with the JFIF segment).
    ASSERT_EQ(jpeg300.mid(6, 5), QByteArray("JFIF\0", 5));
    const std::vector<Case> cases = {
        // 400 px at 96 dpi: 400 * 2540 / 96 = 10583.3; 300 px: 7937.5.
        {"BMP at 96 dpi", Encode(Quadrants(400, 300, 96), "BMP"), 10583, 7938},
        {"BMP at 300 dpi", bmp300, 3387, 2540},
        {"JPEG at 300 dpi", jpeg300, 3387, 2540},
        {"PNG at 300 dpi", Encode(Quadrants(400, 300, 300), "PNG"), 3387, 2540},
        {"JPEG at 72 dpi", Encode(Quadrants(400, 300, 72), "JPEG"), 14111, 10583},
        // Declared differently across and down: each axis its own.
        {"JPEG at 300x96 dpi", patched(jpeg300, 16, {0, 96}), 3387, 7938},
        // Nothing declared: 96 dpi, whatever the decoder assumes by default.
        {"JPEG with an aspect ratio only", patched(jpeg300, 13, {0, 0, 1, 0, 1}), 10583, 7938},
        {"BMP with no resolution", patched(bmp300, 38, {0, 0, 0, 0, 0, 0, 0, 0}), 10583, 7938},
        {"GIF", Gif(400, 300, {0}), 10583, 7938},
        // 1 pixel per metre is no real resolution.
        {"BMP at 1 pixel per metre", patched(bmp300, 38, {1, 0, 0, 0, 1, 0, 0, 0}), 10583, 7938},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureRef picture;
        ASSERT_EQ(Load(c.bytes, picture), S_OK);
        PictureSize size = SizeOf(picture.p);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(OleLoadPicture, GifGivesItsFirstFrame)
{
    // Frame one red, frame two blue.
    PictureRef picture;
    ASSERT_EQ(Load(Gif(40, 20, {0, 1}), picture), S_OK);
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderWhole(canvas, picture.p, kTarget), S_OK);
    EXPECT_TRUE(ColourNear(canvas, kTarget.left, kTarget.top, kRed));
    EXPECT_TRUE(ColourNear(canvas, 150, 100, kRed));
    EXPECT_TRUE(ColourNear(canvas, kTarget.right - 1, kTarget.bottom - 1, kRed));
    EXPECT_TRUE(UntouchedOutside(canvas, kTarget));

    // The same writer's second colour shows when it is the first frame, so
    // the frame above was not just the only one the reader understood.
    PictureRef blue;
    ASSERT_EQ(Load(Gif(40, 20, {1, 0}), blue), S_OK);
    QImage canvas2 = Canvas(300, 200);
    ASSERT_EQ(RenderWhole(canvas2, blue.p, kTarget), S_OK);
    EXPECT_TRUE(ColourNear(canvas2, 150, 100, kBlue));
}

TEST(OleLoadPicture, BytesThatAreNoPictureFailWithNull)
{
    auto header = [](const char* bytes, int n) { return QByteArray(bytes, n); };
    QByteArray hugeBmp = Encode(Quadrants(4, 4), "BMP").left(54);
    hugeBmp[18] = char(0x50); // width 50000
    hugeBmp[19] = char(0xC3);
    hugeBmp[22] = char(0x50); // height 50000
    hugeBmp[23] = char(0xC3);
    QByteArray bigBmpFewBytes = Encode(Quadrants(4, 4), "BMP").left(54);
    // 4000 x 4000: 61 MiB of pixels, under Qt's own allocation limit, but
    // no pixel bytes to back them.
    bigBmpFewBytes[18] = char(0xA0);
    bigBmpFewBytes[19] = char(0x0F);
    bigBmpFewBytes[22] = char(0xA0);
    bigBmpFewBytes[23] = char(0x0F);
    QByteArray hugeGif = Gif(2, 2, {0});
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = char(0xFF); // screen 65535 x 65535
    const QByteArray jpeg = Encode(Quadrants(64, 64), "JPEG");
    // A small JPEG whose frame header claims 4000 x 4000: the decoder would
    // take the missing data as grey and hand back 61 MiB of picture.
    QByteArray jpegClaimingMore = jpeg;
    const qsizetype frame = jpegClaimingMore.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    for (qsizetype at : {frame + 5, frame + 7}) {
        jpegClaimingMore[at] = char(0x0F);
        jpegClaimingMore[at + 1] = char(0xA0);
    }

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"text", QByteArray("this is not a picture at all, only words")},
        {"zeros", QByteArray(4096, '\0')},
        {"BMP signature alone", header("BM", 2)},
        {"BMP header cut short", Encode(Quadrants(4, 4), "BMP").left(20)},
        {"BMP claiming 50000x50000", hugeBmp},
        {"BMP claiming 4000x4000 over 54 bytes", bigBmpFewBytes},
        {"JPEG start marker alone", header("\xFF\xD8", 2)},
        {"JPEG headers without image data", jpeg.left(jpeg.indexOf("\xFF\xDA"))},
        {"JPEG claiming 4000x4000 over 1 KiB", jpegClaimingMore},
        {"GIF signature alone", header("GIF89a", 6)},
        {"GIF screen of 65535x65535", hugeGif},
        {"PNG signature alone", header("\x89PNG\r\n\x1A\n", 8)},
        // Formats Qt reads but a picture never is.
        {"PBM", QByteArray("P1\n2 2\n0 1\n1 0\n")},
        {"XPM", QByteArray("/* XPM */\nstatic const char* x[] = {\"1 1 1 1\", \"a c #FF0000\", \"a\"};\n")},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        PictureRef picture;
        picture.p = reinterpret_cast<IPicture*>(&picture); // must be overwritten with null
        IPicture* sentinel = picture.p;
        HRESULT hr = Load(bytes, picture);
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(hr, CTL_E_INVALIDPICTURE);
        EXPECT_NE(picture.p, sentinel);
        EXPECT_EQ(picture.p, nullptr);
        if (picture.p == sentinel)
            picture.p = nullptr;
    }
}

TEST(OleLoadPicture, LargePicturesThatCompressWellStillLoad)
{
    // 3000 x 3000 of one colour: 34 MiB decoded from a few dozen KiB of PNG,
    // past the allowance every file has, within what its bytes can hold.
    QImage plain(3000, 3000, QImage::Format_RGB32);
    plain.fill(kBlue);
    plain.setDotsPerMeterX(DotsPerMeter(96));
    plain.setDotsPerMeterY(DotsPerMeter(96));
    const QByteArray png = Encode(plain, "PNG");
    ASSERT_LT(png.size(), 64 * 1024);
    PictureRef picture;
    ASSERT_EQ(Load(png, picture), S_OK);
    EXPECT_EQ(SizeOf(picture.p).width, 79375); // 3000 px at 96 dpi
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderWhole(canvas, picture.p, kTarget), S_OK);
    EXPECT_TRUE(ColourNear(canvas, 150, 100, kBlue));
}

TEST(OleLoadPicture, ArgumentsAndInterfaces)
{
    const QByteArray bmp = Encode(Quadrants(8, 8), "BMP");
    QByteArray bytes = bmp;
    CMemFile file(reinterpret_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::load);
    CArchiveStream stream(&archive);

    void* out = &out;
    EXPECT_EQ(OleLoadPicture(nullptr, 0, FALSE, IID_IPicture, &out), E_POINTER);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(OleLoadPicture(&stream, 0, FALSE, IID_IPicture, nullptr), E_POINTER);
    out = &out;
    EXPECT_EQ(OleLoadPicture(&stream, -1, FALSE, IID_IPicture, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    out = &out;
    EXPECT_EQ(OleLoadPicture(&stream, 0, FALSE, IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    archive.Close();
    file.Detach();

    // Asked for IUnknown, the picture still answers for IPicture, and every
    // reference counts.
    PictureRef unknown;
    ASSERT_EQ(Load(bmp, unknown, 0, IID_IUnknown), S_OK);
    void* asPicture = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IPicture, &asPicture), S_OK);
    ASSERT_NE(asPicture, nullptr);
    void* asStream = &asStream;
    EXPECT_EQ(unknown->QueryInterface(IID_IStream, &asStream), E_NOINTERFACE);
    EXPECT_EQ(asStream, nullptr);
    EXPECT_EQ(unknown->AddRef(), 3u);
    EXPECT_EQ(unknown->Release(), 2u);
    EXPECT_EQ(static_cast<IPicture*>(asPicture)->Release(), 1u);
    SHORT type = 0;
    EXPECT_EQ(unknown->get_Type(nullptr), E_POINTER);
    EXPECT_EQ(unknown->get_Width(nullptr), E_POINTER);
    EXPECT_EQ(unknown->get_Height(nullptr), E_POINTER);
    EXPECT_EQ(unknown->get_Type(&type), S_OK);
}

TEST(OleLoadPicture, SizeReadsThatManyBytesAndLeavesTheRest)
{
    const QByteArray bmp = Encode(Quadrants(8, 8), "BMP");
    QByteArray bytes = bmp + QByteArray("TRAILER");
    CMemFile file(reinterpret_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::load);
    CArchiveStream stream(&archive);
    PictureRef picture;
    ASSERT_EQ(OleLoadPicture(&stream, static_cast<LONG>(bmp.size()), FALSE, IID_IPicture, picture.out()), S_OK);
    char rest[16] = {};
    ULONG got = 0;
    EXPECT_EQ(stream.Read(rest, sizeof rest, &got), S_FALSE);
    EXPECT_EQ(std::string(rest, got), "TRAILER");
    archive.Close();
    file.Detach();
}

namespace {

// A stream for the reading rules: endless, failing, or lying about counts.
class FakeStream : public IStream {
public:
    enum Mode { endless, failing, overclaiming };
    explicit FakeStream(Mode mode) : m_mode(mode) {}
    virtual ~FakeStream() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override
    {
        m_requested += cb;
        switch (m_mode) {
        case endless:
            std::memset(pv, 'x', cb);
            *pcbRead = cb;
            return S_OK;
        case failing:
            *pcbRead = 0;
            return STG_E_READFAULT;
        case overclaiming:
            *pcbRead = cb + 1;
            return S_OK;
        }
        return E_UNEXPECTED;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    ULONGLONG m_requested = 0;

private:
    Mode m_mode;
};

} // namespace

TEST(OleLoadPicture, StreamsThatMisbehaveFailWithoutAPicture)
{
    const ULONGLONG cap = ULONGLONG(256) << 20;
    {
        // An endless stream is read up to the cap, not without end.
        FakeStream stream(FakeStream::endless);
        void* out = &out;
        EXPECT_EQ(OleLoadPicture(&stream, 0, FALSE, IID_IPicture, &out), E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
        EXPECT_GT(stream.m_requested, cap);
        EXPECT_LT(stream.m_requested, cap + (ULONGLONG(32) << 20));
    }
    {
        // A size beyond the cap is refused before anything is read.
        FakeStream stream(FakeStream::endless);
        void* out = &out;
        EXPECT_EQ(OleLoadPicture(&stream, LONG(cap + 1), FALSE, IID_IPicture, &out), E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(stream.m_requested, 0u);
    }
    {
        FakeStream stream(FakeStream::failing);
        void* out = &out;
        EXPECT_EQ(OleLoadPicture(&stream, 0, FALSE, IID_IPicture, &out), STG_E_READFAULT);
        EXPECT_EQ(out, nullptr);
    }
    {
        FakeStream stream(FakeStream::overclaiming);
        void* out = &out;
        EXPECT_EQ(OleLoadPicture(&stream, 0, FALSE, IID_IPicture, &out), E_FAIL);
        EXPECT_EQ(out, nullptr);
    }
}

// ---- Rendering -------------------------------------------------------------------------

TEST(PictureRender, CutShowsTheTopLeftAtNaturalSize)
{
    // Same resolution for picture and device: the rectangle shows exactly the
    // picture's top-left 200x100 pixels, one for one.
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Coordinates(400, 400), "PNG"), picture), S_OK);
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderCut(canvas, picture.p, kTarget), S_OK);
    int wrong = 0;
    for (int y = 0; y < kTarget.Height(); ++y)
        for (int x = 0; x < kTarget.Width(); ++x)
            if (canvas.pixel(kTarget.left + x, kTarget.top + y) != CoordinateColour(x, y) && wrong++ < 5)
                ADD_FAILURE() << "canvas (" << kTarget.left + x << ", " << kTarget.top + y << ") is not picture ("
                              << x << ", " << y << ")";
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(UntouchedOutside(canvas, kTarget));
}

TEST(PictureRender, CutOfASmallPictureLeavesTheRestOfTheRectangleAlone)
{
    // A 100x50 picture cut into a 200x100 rectangle: the picture keeps its
    // size at the top-left, and nothing is stretched over the remainder.
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Coordinates(100, 50), "BMP"), picture), S_OK);
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderCut(canvas, picture.p, kTarget), S_OK);
    EXPECT_EQ(canvas.pixel(kTarget.left, kTarget.top), CoordinateColour(0, 0));
    EXPECT_EQ(canvas.pixel(kTarget.left + 99, kTarget.top + 49), CoordinateColour(99, 49));
    EXPECT_EQ(canvas.pixel(kTarget.left + 50, kTarget.top + 25), CoordinateColour(50, 25));
    EXPECT_TRUE(UntouchedOutside(canvas, CRect(kTarget.left, kTarget.top, kTarget.left + 100, kTarget.top + 50)));
}

TEST(PictureRender, CutUsesThePicturesOwnResolution)
{
    // A 400x400 picture at 300 dpi is 1.33 inches wide: 128 pixels on a
    // 96 dpi device. Cut into 200x100, it is drawn 128 wide and the rest of
    // the width stays white.
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Quadrants(400, 400, 300), "BMP"), picture), S_OK);
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderCut(canvas, picture.p, kTarget), S_OK);
    EXPECT_TRUE(ColourNear(canvas, kTarget.left + 10, kTarget.top + 10, kRed, 8));
    EXPECT_TRUE(ColourNear(canvas, kTarget.left + 120, kTarget.top + 10, kGreen, 8));
    // 128 px of picture is 64 px of red then 64 of green; the rectangle's
    // 100 px of height shows 64 px of red/green then blue/yellow.
    EXPECT_TRUE(ColourNear(canvas, kTarget.left + 10, kTarget.top + 90, kBlue, 8));
    EXPECT_TRUE(ColourNear(canvas, kTarget.left + 120, kTarget.top + 90, kYellow, 8));
    EXPECT_TRUE(UntouchedOutside(canvas, CRect(kTarget.left, kTarget.top, kTarget.left + 128, kTarget.bottom)));
}

TEST(PictureRender, SourceRectangleIsMeasuredFromTheBottom)
{
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Quadrants(400, 400), "BMP"), picture), S_OK);
    const PictureSize size = SizeOf(picture.p);
    const LONG halfW = size.width / 2;
    const LONG halfH = size.height / 2;
    struct Case {
        const char* name;
        LONG xSrc, ySrc, cxSrc, cySrc;
        QColor topLeft, bottomRight;
    };
    const std::vector<Case> cases = {
        // From half the height down to the bottom: the lower half.
        {"bottom-right quadrant", halfW, halfH, halfW, -halfH, kYellow, kYellow},
        {"top-left quadrant", 0, size.height, halfW, -halfH, kRed, kRed},
        // A positive extent goes up from the origin: the picture upside down.
        {"upside down", 0, 0, size.width, size.height, kBlue, kGreen},
        // A negative width mirrors left and right.
        {"mirrored", size.width, size.height, -size.width, -size.height, kGreen, kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage canvas = Canvas(300, 200);
        ASSERT_EQ(RenderOn(canvas, picture.p, kTarget, c.xSrc, c.ySrc, c.cxSrc, c.cySrc), S_OK);
        EXPECT_TRUE(ColourNear(canvas, kTarget.left + 2, kTarget.top + 2, c.topLeft));
        EXPECT_TRUE(ColourNear(canvas, kTarget.right - 3, kTarget.bottom - 3, c.bottomRight));
        EXPECT_TRUE(UntouchedOutside(canvas, kTarget));
    }
}

TEST(PictureRender, SourceBeyondThePictureIsNotDrawn)
{
    // A source twice the picture's size in each direction, starting at the
    // picture's top-left: the picture fills the rectangle's top-left quarter.
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Quadrants(400, 400), "BMP"), picture), S_OK);
    const PictureSize size = SizeOf(picture.p);
    QImage canvas = Canvas(300, 200);
    ASSERT_EQ(RenderOn(canvas, picture.p, kTarget, 0, size.height, 2 * size.width, -2 * size.height), S_OK);
    const CRect quarter(kTarget.left, kTarget.top, kTarget.left + 100, kTarget.top + 50);
    ExpectQuadrantsFill(canvas, quarter, 8);
}

TEST(PictureRender, BadHandlesAndEmptyExtents)
{
    PictureRef picture;
    ASSERT_EQ(Load(Encode(Quadrants(40, 40), "BMP"), picture), S_OK);
    const PictureSize size = SizeOf(picture.p);
    QImage canvas = Canvas(300, 200);
    HDC dead;
    {
        CPainterDC dc(&canvas);
        dead = dc.GetSafeHdc();
        EXPECT_EQ(picture->Render(dc.GetSafeHdc(), 0, 0, 10, 10, 0, size.height, 0, -size.height, nullptr),
                  E_INVALIDARG);
        EXPECT_EQ(picture->Render(dc.GetSafeHdc(), 0, 0, 10, 10, 0, size.height, size.width, 0, nullptr),
                  E_INVALIDARG);
        // An empty destination draws nothing, successfully.
        EXPECT_EQ(picture->Render(dc.GetSafeHdc(), 0, 0, 0, 10, 0, size.height, size.width, -size.height, nullptr),
                  S_OK);
    }
    EXPECT_EQ(picture->Render(nullptr, 0, 0, 10, 10, 0, size.height, size.width, -size.height, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(picture->Render(reinterpret_cast<HDC>(&canvas), 0, 0, 10, 10, 0, size.height, size.width,
                              -size.height, nullptr),
              E_INVALIDARG);
    // The handle of a device context that is gone.
    EXPECT_EQ(picture->Render(dead, 0, 0, 10, 10, 0, size.height, size.width, -size.height, nullptr), E_INVALIDARG);
    // A device context with no device has no handle to draw with.
    CDC none;
    EXPECT_EQ(picture->Render(none.GetSafeHdc(), 0, 0, 10, 10, 0, size.height, size.width, -size.height, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(canvas, Canvas(300, 200));
}
