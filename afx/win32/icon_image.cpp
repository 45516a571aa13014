#include "afx/win32/icon_image_qt.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <array>
#include <cstdint>
#include <cstring>

#include "afx/win32/icon_limits.h"

namespace afx::icon {
namespace {

constexpr std::array<BYTE, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// BITMAPINFOHEADER fields, by offset.
constexpr std::size_t kBiSize = 0;
constexpr std::size_t kBiWidth = 4;
constexpr std::size_t kBiHeight = 8;
constexpr std::size_t kBiBitCount = 14;
constexpr std::size_t kBiCompression = 16;
constexpr std::size_t kBiClrUsed = 32;
constexpr DWORD kInfoHeaderSize = 40;
constexpr DWORD kBiRgb = 0;
// A colour table of more entries than an 8-bit bitmap can index is no
// honest file's.
constexpr DWORD kMaxColourTable = 256;

bool IsPng(ByteView image)
{
    return image.StartsWith(kPngSignature.data(), kPngSignature.size());
}

std::optional<DWORD> BigEndianDword(ByteView bytes, std::size_t offset)
{
    std::optional<ByteView> field = bytes.Sub(offset, 4);
    if (!field)
        return std::nullopt;
    const BYTE* p = field->data();
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) |
           static_cast<DWORD>(p[3]);
}

bool IsDimensionInRange(std::int64_t value)
{
    return value >= 1 && value <= kMaxDimension;
}

std::optional<ImageFacts> ProbePng(ByteView image)
{
    // The first chunk of every PNG stream is IHDR, 13 bytes long.
    constexpr std::size_t kIhdr = kPngSignature.size();
    std::optional<DWORD> length = BigEndianDword(image, kIhdr);
    std::optional<ByteView> type = image.Sub(kIhdr + 4, 4);
    if (!length || *length != 13 || !type || std::memcmp(type->data(), "IHDR", 4) != 0)
        return std::nullopt;
    std::optional<DWORD> width = BigEndianDword(image, kIhdr + 8);
    std::optional<DWORD> height = BigEndianDword(image, kIhdr + 12);
    std::optional<BYTE> depth = image.Byte(kIhdr + 16);
    std::optional<BYTE> colourType = image.Byte(kIhdr + 17);
    if (!width || !height || !depth || !colourType || !IsDimensionInRange(*width) || !IsDimensionInRange(*height))
        return std::nullopt;
    int channels = 0;
    switch (*colourType) {
    case 0: // grey
    case 3: // palette indices
        channels = 1;
        break;
    case 2: // RGB
        channels = 3;
        break;
    case 4: // grey and alpha
        channels = 2;
        break;
    case 6: // RGBA
        channels = 4;
        break;
    default:
        return std::nullopt;
    }
    if (*depth != 1 && *depth != 2 && *depth != 4 && *depth != 8 && *depth != 16)
        return std::nullopt;
    return ImageFacts{static_cast<int>(*width), static_cast<int>(*height), channels * *depth, true};
}

// The layout of a bitmap image, every part of it checked to lie inside the
// image's bytes.
struct DibLayout {
    ImageFacts facts;
    ByteView colourTable; // 4 bytes (blue, green, red, unused) per entry
    ByteView colourRows;
    std::size_t colourStride = 0;
    std::optional<ByteView> maskRows; // missing in some 32-bit images
    std::size_t maskStride = 0;
};

std::size_t RowStride(int width, int bitCount)
{
    // Rows are padded to whole 32-bit words.
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

std::optional<DibLayout> ReadDibLayout(ByteView image)
{
    std::optional<DWORD> headerSize = image.Dword(kBiSize);
    std::optional<LONG> width = image.Long(kBiWidth);
    std::optional<LONG> doubledHeight = image.Long(kBiHeight);
    std::optional<WORD> bitCount = image.Word(kBiBitCount);
    std::optional<DWORD> compression = image.Dword(kBiCompression);
    std::optional<DWORD> coloursUsed = image.Dword(kBiClrUsed);
    if (!headerSize || *headerSize < kInfoHeaderSize || !image.Has(0, *headerSize) || !width || !doubledHeight ||
        !bitCount || !compression || !coloursUsed)
        return std::nullopt;
    // The height counts the colour rows and the mask rows together; a
    // negative height (top-down rows) is not used in icons.
    const std::int64_t height = *doubledHeight / 2;
    if (!IsDimensionInRange(*width) || !IsDimensionInRange(height) || *compression != kBiRgb)
        return std::nullopt;
    const int bits = *bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    if (*coloursUsed > kMaxColourTable)
        return std::nullopt;
    // Indexed images always have a table (all 2^bits entries when the header
    // gives 0); direct-colour images may carry one as a hint, to be skipped.
    std::size_t tableEntries = *coloursUsed;
    if (bits <= 8 && tableEntries == 0)
        tableEntries = std::size_t{1} << bits;

    DibLayout layout;
    layout.facts = ImageFacts{static_cast<int>(*width), static_cast<int>(height), bits, false};
    std::optional<ByteView> table = image.Sub(*headerSize, tableEntries * 4);
    if (!table)
        return std::nullopt;
    layout.colourTable = *table;
    const std::size_t rowsAt = *headerSize + tableEntries * 4;
    layout.colourStride = RowStride(layout.facts.width, bits);
    std::optional<ByteView> rows = image.Sub(rowsAt, layout.colourStride * static_cast<std::size_t>(height));
    if (!rows)
        return std::nullopt;
    layout.colourRows = *rows;
    layout.maskStride = RowStride(layout.facts.width, 1);
    layout.maskRows = image.Sub(rowsAt + rows->size(), layout.maskStride * static_cast<std::size_t>(height));
    if (!layout.maskRows && bits != 32)
        return std::nullopt;
    return layout;
}

QRgb ColourTableEntry(ByteView table, std::size_t index)
{
    // An index past the table gives black, as the table's unused slots would.
    if (!table.Has(index * 4, 4))
        return qRgb(0, 0, 0);
    const BYTE* entry = table.data() + index * 4;
    return qRgb(entry[2], entry[1], entry[0]);
}

// One pixel of a bitmap row, as an opaque colour (alpha for 32-bit rows).
QRgb DibPixel(const DibLayout& layout, const BYTE* row, int x)
{
    const std::size_t ux = static_cast<std::size_t>(x);
    switch (layout.facts.bitCount) {
    case 1:
        return ColourTableEntry(layout.colourTable, (row[ux / 8] >> (7 - ux % 8)) & 0x1);
    case 4:
        return ColourTableEntry(layout.colourTable, (row[ux / 2] >> (ux % 2 ? 0 : 4)) & 0xF);
    case 8:
        return ColourTableEntry(layout.colourTable, row[ux]);
    case 16: {
        // 5 bits each of red, green and blue; each widened to 8 bits.
        const unsigned value = row[ux * 2] | (row[ux * 2 + 1] << 8);
        auto widen = [](unsigned five) { return static_cast<int>((five << 3) | (five >> 2)); };
        return qRgb(widen((value >> 10) & 0x1F), widen((value >> 5) & 0x1F), widen(value & 0x1F));
    }
    case 24:
        return qRgb(row[ux * 3 + 2], row[ux * 3 + 1], row[ux * 3]);
    default:
        return qRgba(row[ux * 4 + 2], row[ux * 4 + 1], row[ux * 4], row[ux * 4 + 3]);
    }
}

bool HasAnyAlpha(const DibLayout& layout)
{
    if (layout.facts.bitCount != 32)
        return false;
    const BYTE* bytes = layout.colourRows.data();
    for (std::size_t y = 0; y < static_cast<std::size_t>(layout.facts.height); ++y) {
        const BYTE* row = bytes + y * layout.colourStride;
        for (std::size_t x = 0; x < static_cast<std::size_t>(layout.facts.width); ++x)
            if (row[x * 4 + 3] != 0)
                return true;
    }
    return false;
}

QImage DecodeDib(ByteView bytes)
{
    std::optional<DibLayout> layout = ReadDibLayout(bytes);
    if (!layout)
        return QImage();
    const bool useAlpha = HasAnyAlpha(*layout);
    // A 32-bit image without alpha needs its mask after all.
    if (!useAlpha && !layout->maskRows)
        return QImage();

    QImage image(layout->facts.width, layout->facts.height, QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    const int height = layout->facts.height;
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const std::size_t stored = static_cast<std::size_t>(height - 1 - y);
        const BYTE* colourRow = layout->colourRows.data() + stored * layout->colourStride;
        const BYTE* maskRow = useAlpha ? nullptr : layout->maskRows->data() + stored * layout->maskStride;
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < layout->facts.width; ++x) {
            const QRgb colour = DibPixel(*layout, colourRow, x);
            if (useAlpha) {
                out[x] = colour;
                continue;
            }
            // A set mask bit shows (or, with a non-black colour, inverts)
            // the screen behind; neither can be more than transparency here.
            const bool transparent = (maskRow[x / 8] >> (7 - x % 8)) & 0x1;
            out[x] = transparent ? qRgba(0, 0, 0, 0) : (colour | 0xFF000000u);
        }
    }
    return image;
}

QImage DecodePng(ByteView bytes, const ImageFacts& facts)
{
    // Qt reads straight from the file's bytes; nothing is copied first.
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer, "png");
    // The stream's own header must agree with what the choice was made on.
    if (reader.size() != QSize(facts.width, facts.height))
        return QImage();
    QImage image;
    if (!reader.read(&image) || image.size() != QSize(facts.width, facts.height))
        return QImage();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

std::optional<ImageFacts> ProbeIconImage(ByteView image)
{
    if (IsPng(image))
        return ProbePng(image);
    std::optional<DibLayout> layout = ReadDibLayout(image);
    if (!layout)
        return std::nullopt;
    return layout->facts;
}

QImage DecodeIconImage(ByteView image)
{
    if (IsPng(image)) {
        std::optional<ImageFacts> facts = ProbePng(image);
        return facts ? DecodePng(image, *facts) : QImage();
    }
    return DecodeDib(image);
}

} // namespace afx::icon
