#include "afx/ole/picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>

#include "afx/ui/dc.h"
#include "afx/ui/dc_qt.h"

const IID IID_IPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

namespace {

// The most a picture stream may hold.
constexpr qsizetype kMaxPictureBytes = qsizetype(256) << 20;
// The first read step; each further step doubles, up to kMaxReadStep, so a
// stream costs at most about twice the bytes it really holds.
constexpr qsizetype kFirstReadStep = qsizetype(64) << 10;
constexpr qsizetype kMaxReadStep = qsizetype(16) << 20;

// Decoded pictures may take this much memory whatever their file's size...
constexpr qint64 kMinDecodedBytes = qint64(32) << 20;
// ...and beyond it as much as this many bytes per byte of file, which covers
// what JPEG, GIF and PNG compress ordinary pictures to, up to a ceiling. A
// header that claims a huge picture over a few bytes is refused before
// anything is allocated for it. (Qt's own allocation limit, a process-wide
// setting left to the host, applies as well.)
constexpr qint64 kDecodedBytesPerFileByte = 4096;
constexpr qint64 kMaxDecodedBytes = qint64(256) << 20;
// Bytes per pixel of the widest form a picture is decoded to.
constexpr qint64 kMaxBytesPerPixel = 4;

// The resolution of a picture whose file declares none (or an implausible
// one): a Windows screen's.
constexpr int kDefaultDpi = 96;
constexpr int kMinPlausibleDpi = 10;
constexpr int kMaxPlausibleDpi = 10000;

// ---- Reading the stream -------------------------------------------------------

// Reads lSize bytes, or everything when lSize is 0, in growing steps.
HRESULT ReadPictureBytes(IStream* stream, LONG lSize, QByteArray& bytes)
{
    const qsizetype wanted = lSize > 0 ? qsizetype(lSize) : kMaxPictureBytes + 1;
    if (lSize > 0 && wanted > kMaxPictureBytes)
        return E_OUTOFMEMORY;
    qsizetype step = kFirstReadStep;
    qsizetype total = 0;
    while (total < wanted) {
        const qsizetype chunk = std::min(step, wanted - total);
        bytes.resize(total + chunk);
        ULONG got = 0;
        HRESULT hr = stream->Read(bytes.data() + total, static_cast<ULONG>(chunk), &got);
        if (FAILED(hr))
            return hr;
        if (got > chunk)
            return E_FAIL; // a stream that claims more than it was given room for
        total += got;
        if (got == 0)
            break;
        step = std::min(step * 2, kMaxReadStep);
    }
    if (total > kMaxPictureBytes)
        return E_OUTOFMEMORY;
    bytes.resize(total);
    return S_OK;
}

// ---- What the file says about its resolution ------------------------------------

// Whether the picture's header declares a resolution across and down. The
// decoder (Qt) gives every picture a resolution, its own default where the
// file has none, so the header is read to tell the two apart.
struct DeclaredResolution {
    bool x = false;
    bool y = false;
};

unsigned Be16(const uchar* p)
{
    return (unsigned(p[0]) << 8) | p[1];
}
quint32 Be32(const uchar* p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}
qint32 Le32(const uchar* p)
{
    return static_cast<qint32>(quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24));
}

// BMP: pixels per metre in a BITMAPINFOHEADER or larger header.
DeclaredResolution BmpResolution(const uchar* p, qsizetype n)
{
    if (n < 14 + 40 || Le32(p + 14) < 40)
        return {};
    return {Le32(p + 38) > 0, Le32(p + 42) > 0};
}

// JPEG: the JFIF segment's density, in dots per inch or per centimetre
// (unit 0 gives only an aspect ratio).
DeclaredResolution JpegResolution(const uchar* p, qsizetype n)
{
    qsizetype pos = 2;
    while (pos + 4 <= n && p[pos] == 0xFF) {
        const uchar marker = p[pos + 1];
        if (marker == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2; // markers without a segment
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break; // the image data starts: no JFIF segment came before it
        const unsigned length = Be16(p + pos + 2);
        if (length < 2)
            break;
        if (marker == 0xE0 && length >= 16 && pos + 18 <= n && std::memcmp(p + pos + 4, "JFIF\0", 5) == 0) {
            const uchar units = p[pos + 11];
            if (units != 1 && units != 2)
                return {};
            return {Be16(p + pos + 12) > 0, Be16(p + pos + 14) > 0};
        }
        pos += 2 + qsizetype(length);
    }
    return {};
}

// PNG: a pHYs chunk in pixels per metre, before the image data.
DeclaredResolution PngResolution(const uchar* p, qsizetype n)
{
    qsizetype pos = 8;
    while (pos + 12 <= n) {
        const quint32 length = Be32(p + pos);
        const uchar* type = p + pos + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            break;
        if (qsizetype(length) > n - pos - 12)
            break;
        if (std::memcmp(type, "pHYs", 4) == 0 && length >= 9) {
            const uchar* data = p + pos + 8;
            if (data[8] != 1)
                return {};
            return {Be32(data) > 0, Be32(data + 4) > 0};
        }
        pos += 12 + qsizetype(length);
    }
    return {};
}

DeclaredResolution FindDeclaredResolution(const QByteArray& format, const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    if (format == "bmp")
        return BmpResolution(p, n);
    if (format == "jpeg")
        return JpegResolution(p, n);
    if (format == "png")
        return PngResolution(p, n);
    return {}; // GIF has no resolution
}

// Whole dots per inch from dots per metre, or the default where the file
// declares none or one no real picture has.
int DotsPerInch(bool declared, int dotsPerMeter)
{
    if (!declared || dotsPerMeter <= 0)
        return kDefaultDpi;
    const long long dpi = (static_cast<long long>(dotsPerMeter) * 254 + 5000) / 10000;
    return dpi >= kMinPlausibleDpi && dpi <= kMaxPlausibleDpi ? static_cast<int>(dpi) : kDefaultDpi;
}

// ---- Decoding -----------------------------------------------------------------

struct DecodedPicture {
    QImage image;
    int dpiX;
    int dpiY;
};

bool IsPictureFormat(const QByteArray& format)
{
    return format == "jpeg" || format == "bmp" || format == "gif" || format == "png";
}

std::optional<DecodedPicture> Decode(QByteArray& bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Qt reads many more formats (SVG, TIFF, icons, ...); only the ones a
    // picture may be are let through, whatever the rest of Qt can parse.
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!IsPictureFormat(format))
        return std::nullopt;
    buffer.seek(0);

    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    // The size the header claims, read before any pixel is decoded.
    const QSize claimed = reader.size();
    if (claimed.isValid()) {
        const qint64 allowed =
            std::clamp(qint64(bytes.size()) * kDecodedBytesPerFileByte, kMinDecodedBytes, kMaxDecodedBytes);
        if (qint64(claimed.width()) * claimed.height() * kMaxBytesPerPixel > allowed)
            return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt; // for GIF, read() gives the first frame

    const DeclaredResolution declared = FindDeclaredResolution(format, bytes);
    const int dpiX = DotsPerInch(declared.x, image.dotsPerMeterX());
    const int dpiY = DotsPerInch(declared.y, image.dotsPerMeterY());
    return DecodedPicture{std::move(image), dpiX, dpiY};
}

LONG PixelsToHimetric(int pixels, int dpi)
{
    return static_cast<LONG>((static_cast<long long>(pixels) * HIMETRIC_PER_INCH + dpi / 2) / dpi);
}

// ---- The picture object -------------------------------------------------------------

class BitmapPicture final : public IPicture {
public:
    explicit BitmapPicture(DecodedPicture decoded)
        : m_image(std::move(decoded.image)),
          m_dpiX(decoded.dpiX),
          m_dpiY(decoded.dpiY),
          m_hmWidth(PixelsToHimetric(m_image.width(), m_dpiX)),
          m_hmHeight(PixelsToHimetric(m_image.height(), m_dpiY)),
          m_cRef(1)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPicture) {
            *ppvObject = static_cast<IPicture*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_cRef; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_cRef;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_Type(SHORT* pType) override
    {
        if (!pType)
            return E_POINTER;
        *pType = PICTYPE_BITMAP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* pWidth) override
    {
        if (!pWidth)
            return E_POINTER;
        *pWidth = m_hmWidth;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* pHeight) override
    {
        if (!pHeight)
            return E_POINTER;
        *pHeight = m_hmHeight;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                     OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                     LPCRECT pRcWBounds) override;

private:
    const QImage m_image;
    const int m_dpiX;
    const int m_dpiY;
    const LONG m_hmWidth;
    const LONG m_hmHeight;
    std::atomic<ULONG> m_cRef;
};

// A HIMETRIC position along one axis of the picture as a whole picture pixel:
// GDI draws bitmaps on whole pixels, and so a source edge that HIMETRIC
// rounding put a hair off a pixel edge does not blur the picture.
double HimetricToPixel(long long himetric, int dpi)
{
    const double pixels = std::round(static_cast<double>(himetric) * dpi / HIMETRIC_PER_INCH);
    return std::clamp(pixels, -1e9, 1e9);
}

HRESULT BitmapPicture::Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                              OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                              LPCRECT /*pRcWBounds: metafiles only*/)
{
    QPainter* painter = AfxGetPainter(hDC);
    if (!painter)
        return E_INVALIDARG;
    if (cxSrc == 0 || cySrc == 0)
        return E_INVALIDARG;
    if (cx == 0 || cy == 0)
        return S_OK;

    // The source edges in picture pixels, rows counted from the top: the
    // first edge of each pair lands on x (or y), the second on x + cx (or
    // y + cy). A source extent that goes the other way mirrors the picture.
    const double left = HimetricToPixel(xSrc, m_dpiX);
    const double right = HimetricToPixel(static_cast<long long>(xSrc) + cxSrc, m_dpiX);
    const double top = m_image.height() - HimetricToPixel(ySrc, m_dpiY);
    const double bottom = m_image.height() - HimetricToPixel(static_cast<long long>(ySrc) + cySrc, m_dpiY);
    if (left == right || top == bottom)
        return S_OK; // less than a pixel of source: nothing to draw

    // What of the source rectangle lies on the picture; the rest stays
    // undrawn rather than being filled by stretching the picture's edges.
    const QRectF source = QRectF(QPointF(std::min(left, right), std::min(top, bottom)),
                                 QPointF(std::max(left, right), std::max(top, bottom)))
                              .intersected(QRectF(m_image.rect()));
    if (source.isEmpty())
        return S_OK;

    const double scaleX = cx / (right - left);
    const double scaleY = cy / (bottom - top);
    const QTransform sourceToDevice(scaleX, 0, 0, scaleY, x - left * scaleX, y - top * scaleY);

    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (scaleX > 0 && scaleY > 0) {
        // Not mirrored: a plain scaled blit of the source into its target,
        // which Qt draws on its fast path.
        painter->drawImage(sourceToDevice.mapRect(source), m_image, source);
    } else {
        painter->setWorldTransform(sourceToDevice, true);
        painter->drawImage(source, m_image, source);
    }
    painter->restore();
    return S_OK;
}

} // namespace

HRESULT OleLoadPicture(IStream* lpstream, LONG lSize, BOOL /*fRunmode*/, REFIID riid, void** lplpvObj)
{
    if (!lplpvObj)
        return E_POINTER;
    *lplpvObj = nullptr;
    if (!lpstream)
        return E_POINTER;
    if (lSize < 0)
        return E_INVALIDARG;
    if (riid != IID_IPicture && riid != IID_IUnknown)
        return E_NOINTERFACE;

    QByteArray bytes;
    HRESULT hr = ReadPictureBytes(lpstream, lSize, bytes);
    if (FAILED(hr))
        return hr;
    std::optional<DecodedPicture> decoded = Decode(bytes);
    if (!decoded)
        return CTL_E_INVALIDPICTURE;
    // The picture begins with the one reference that goes to the caller.
    *lplpvObj = static_cast<IPicture*>(new BitmapPicture(std::move(*decoded)));
    return S_OK;
}
