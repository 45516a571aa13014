// Pictures made in memory for the picture and device context tests: images
// whose pixels tell where they came from, encoded in each format the loader
// takes, and a canvas to draw them on.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

#include "afx/core/archive.h"
#include "afx/core/file.h"
#include "afx/ole/picture.h"
#include "afx/ole/stream.h"

namespace picture_samples {

inline int DotsPerMeter(int dpi)
{
    return qRound(dpi / 0.0254);
}

inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 255, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kYellow(255, 255, 0);
inline const QColor kWhite(255, 255, 255);

// Red top-left, green top-right, blue bottom-left, yellow bottom-right.
inline QImage Quadrants(int width, int height, int dpi = 96)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(DotsPerMeter(dpi));
    image.setDotsPerMeterY(DotsPerMeter(dpi));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixelColor(x, y, bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed));
        }
    return image;
}

// Every pixel's colour says where it is (for lossless formats).
inline QRgb CoordinateColour(int x, int y)
{
    return qRgb(x & 0xFF, y & 0xFF, 0x80 | ((x >> 8) << 2) | (y >> 8));
}
inline QImage Coordinates(int width, int height, int dpi = 96)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(DotsPerMeter(dpi));
    image.setDotsPerMeterY(DotsPerMeter(dpi));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, CoordinateColour(x, y));
    return image;
}

inline QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, format == std::string("JPEG") ? 95 : -1)) << format;
    return bytes;
}

// A GIF of several frames, each filled with one colour of a four-colour
// table. Qt writes no GIF, so the file is put together here: the image data
// is LZW that restarts (a clear code) every two pixels, which keeps every
// code three bits wide.
inline QByteArray Gif(int width, int height, std::initializer_list<int> frameColourIndexes,
                      std::initializer_list<QColor> palette = {kRed, kBlue, kGreen, kWhite})
{
    std::vector<unsigned char> out;
    auto put16 = [&](int v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    for (char c : std::string("GIF89a"))
        out.push_back(static_cast<unsigned char>(c));
    put16(width);
    put16(height);
    out.insert(out.end(), {0x91, 0x00, 0x00}); // global table of 4 colours
    for (const QColor& c : palette) {
        out.push_back(static_cast<unsigned char>(c.red()));
        out.push_back(static_cast<unsigned char>(c.green()));
        out.push_back(static_cast<unsigned char>(c.blue()));
    }
    for (int colour : frameColourIndexes) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00}); // 1/10 s, no transparency
        out.push_back(0x2C);
        put16(0);
        put16(0);
        put16(width);
        put16(height);
        out.push_back(0x00);
        out.push_back(0x02); // minimum code size: clear is 4, end is 5

        std::vector<unsigned char> data;
        unsigned bits = 0;
        int nbits = 0;
        auto code = [&](unsigned c) {
            bits |= c << nbits;
            nbits += 3;
            while (nbits >= 8) {
                data.push_back(static_cast<unsigned char>(bits & 0xFF));
                bits >>= 8;
                nbits -= 8;
            }
        };
        const int pixels = width * height;
        for (int i = 0; i < pixels; ++i) {
            if (i % 2 == 0)
                code(4);
            code(static_cast<unsigned>(colour));
        }
        code(5);
        if (nbits)
            data.push_back(static_cast<unsigned char>(bits & 0xFF));
        for (size_t i = 0; i < data.size(); i += 255) {
            const size_t n = std::min<size_t>(255, data.size() - i);
            out.push_back(static_cast<unsigned char>(n));
            out.insert(out.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
        }
        out.push_back(0x00);
    }
    out.push_back(0x3B);
    return QByteArray(reinterpret_cast<const char*>(out.data()), static_cast<qsizetype>(out.size()));
}

// Holds one reference to a picture and releases it.
struct PictureRef {
    IPicture* p = nullptr;
    PictureRef() = default;
    PictureRef(const PictureRef&) = delete;
    PictureRef& operator=(const PictureRef&) = delete;
    ~PictureRef()
    {
        if (p)
            p->Release();
    }
    IPicture* operator->() const { return p; }
    void** out() { return reinterpret_cast<void**>(&p); }
};

// Loads a picture the way an item does: a memory file over the bytes, a
// loading archive over the file, a stream over the archive.
inline HRESULT Load(QByteArray bytes, PictureRef& picture, LONG lSize = 0, REFIID riid = IID_IPicture)
{
    CMemFile file(reinterpret_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::load, 4096);
    CArchiveStream stream(&archive);
    HRESULT hr = OleLoadPicture(&stream, lSize, FALSE, riid, picture.out());
    archive.Close();
    file.Detach();
    return hr;
}

// A white canvas at the given resolution.
inline QImage Canvas(int width, int height, int dpi = 96)
{
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.setDotsPerMeterX(DotsPerMeter(dpi));
    canvas.setDotsPerMeterY(DotsPerMeter(dpi));
    canvas.fill(kWhite);
    return canvas;
}

inline ::testing::AssertionResult ColourNear(const QImage& image, int x, int y, const QColor& expected,
                                             int tolerance = 0)
{
    const QColor got = image.pixelColor(x, y);
    if (std::abs(got.red() - expected.red()) <= tolerance && std::abs(got.green() - expected.green()) <= tolerance &&
        std::abs(got.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << got.name().toStdString()
                                         << ", expected " << expected.name().toStdString();
}

} // namespace picture_samples
