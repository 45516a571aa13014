#include "afx/ui/dc.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "afx/ui/dc_qt.h"

namespace {

int DotsPerMeter(int dpi)
{
    return qRound(dpi / 0.0254);
}

QImage WhiteImage(int width, int height, int dpi)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(DotsPerMeter(dpi));
    image.setDotsPerMeterY(DotsPerMeter(dpi));
    image.fill(Qt::white);
    return image;
}

} // namespace

TEST(CDC, DeviceCapsComeFromTheImage)
{
    QImage image = WhiteImage(640, 480, 300);
    CPainterDC dc(&image);
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 300);
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 300);
    EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 640);
    EXPECT_EQ(dc.GetDeviceCaps(VERTRES), 480);
    EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 32);
    EXPECT_EQ(dc.GetDeviceCaps(HORZSIZE), 54); // 640 px at 300 dpi is 54.2 mm
    EXPECT_EQ(dc.GetDeviceCaps(12345), 0);
}

TEST(CDC, PixelsAndHimetricConvertWithTheDeviceResolution)
{
    struct Case {
        int dpiX, dpiY;
        SIZE pixels;
        SIZE himetric;
    };
    const Case cases[] = {
        {96, 96, {100, 100}, {2646, 2646}}, // 2645.8
        {96, 96, {200, 100}, {5292, 2646}},
        {96, 96, {0, -100}, {0, -2646}},
        {300, 300, {300, 150}, {2540, 1270}},
        {72, 144, {72, 72}, {2540, 1270}},
        {96, 96, {3, 1}, {79, 26}}, // 79.4 and 26.5 (halves round up)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpiX << "x" << c.dpiY << " dpi, " << c.pixels.cx << "x" << c.pixels.cy);
        QImage image(8, 8, QImage::Format_RGB32);
        image.setDotsPerMeterX(DotsPerMeter(c.dpiX));
        image.setDotsPerMeterY(DotsPerMeter(c.dpiY));
        CPainterDC dc(&image);
        SIZE size = c.pixels;
        dc.DPtoHIMETRIC(&size);
        EXPECT_EQ(size.cx, c.himetric.cx);
        EXPECT_EQ(size.cy, c.himetric.cy);
        dc.HIMETRICtoDP(&size);
        EXPECT_EQ(size.cx, c.pixels.cx);
        EXPECT_EQ(size.cy, c.pixels.cy);
    }
}

TEST(CDC, FillSolidRectFillsExactlyTheRectangle)
{
    QImage image = WhiteImage(40, 30, 96);
    {
        CPainterDC dc(&image);
        CRect rect(5, 6, 15, 20);
        dc.FillSolidRect(rect, RGB(10, 20, 30));
        dc.FillSolidRect(20, 2, 4, 3, RGB(200, 0, 100));
        // No area, no paint.
        dc.FillSolidRect(CRect(30, 10, 25, 20), RGB(0, 0, 0));
        dc.FillSolidRect(30, 10, 5, 0, RGB(0, 0, 0));
        dc.FillSolidRect(nullptr, RGB(0, 0, 0));
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb expected = qRgb(255, 255, 255);
            if (x >= 5 && x < 15 && y >= 6 && y < 20)
                expected = qRgb(10, 20, 30);
            else if (x >= 20 && x < 24 && y >= 2 && y < 5)
                expected = qRgb(200, 0, 100);
            ASSERT_EQ(image.pixel(x, y), expected) << "at (" << x << ", " << y << ")";
        }
}

TEST(CDC, ColourMacrosUseTheWindowsByteOrder)
{
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(GetRValue(RGB(0x12, 0x34, 0x56)), 0x12);
    EXPECT_EQ(GetGValue(RGB(0x12, 0x34, 0x56)), 0x34);
    EXPECT_EQ(GetBValue(RGB(0x12, 0x34, 0x56)), 0x56);
    EXPECT_EQ(RGB(255, 255, 255), 0x00FFFFFFu);
}

TEST(CDC, HandlesMapBackToTheirDeviceContextWhileItLives)
{
    QImage image = WhiteImage(10, 10, 96);
    QImage other = WhiteImage(10, 10, 96);
    HDC gone;
    {
        CPainterDC dc(&image);
        CPainterDC dc2(&other);
        ASSERT_NE(dc.GetSafeHdc(), nullptr);
        EXPECT_NE(dc.GetSafeHdc(), dc2.GetSafeHdc());
        EXPECT_EQ(dc.m_hDC, dc.GetSafeHdc());
        EXPECT_EQ(CDC::FromHandle(dc.GetSafeHdc()), &dc);
        EXPECT_EQ(CDC::FromHandle(dc2.GetSafeHdc()), &dc2);
        ASSERT_NE(AfxGetPainter(dc.GetSafeHdc()), nullptr);
        EXPECT_EQ(AfxGetPainter(dc.GetSafeHdc())->device(), &image);
        EXPECT_EQ(AfxGetPainter(dc2.GetSafeHdc())->device(), &other);
        gone = dc.GetSafeHdc();
    }
    EXPECT_EQ(CDC::FromHandle(gone), nullptr);
    EXPECT_EQ(AfxGetPainter(gone), nullptr);
    EXPECT_EQ(CDC::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CDC::FromHandle(reinterpret_cast<HDC>(&image)), nullptr);
    // The painter the device context opened has ended: the image is free.
    QPainter again;
    EXPECT_TRUE(again.begin(&image));
}

TEST(CDC, BorrowedPainterIsLeftRunning)
{
    QImage image = WhiteImage(20, 20, 96);
    QPainter painter(&image);
    {
        CPainterDC dc(&painter);
        EXPECT_EQ(AfxGetPainter(dc.GetSafeHdc()), &painter);
        EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 20);
        dc.FillSolidRect(0, 0, 5, 5, RGB(0, 0, 255));
    }
    EXPECT_TRUE(painter.isActive());
    painter.fillRect(10, 10, 2, 2, Qt::red);
    painter.end();
    EXPECT_EQ(image.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
}

TEST(CDC, WithoutADeviceNothingIsDrawnAndA96DpiScreenIsAssumed)
{
    CDC none;
    EXPECT_EQ(none.GetSafeHdc(), nullptr);
    EXPECT_EQ(none.GetDeviceCaps(LOGPIXELSX), 0);
    none.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
    SIZE size{100, 200};
    none.DPtoHIMETRIC(&size);
    EXPECT_EQ(size.cx, 2646);
    EXPECT_EQ(size.cy, 5292);

    // A device the painter cannot begin on: a live handle with no painter.
    QImage null;
    CPainterDC broken(&null);
    EXPECT_EQ(CDC::FromHandle(broken.GetSafeHdc()), &broken);
    EXPECT_EQ(AfxGetPainter(broken.GetSafeHdc()), nullptr);
    EXPECT_EQ(broken.GetDeviceCaps(HORZRES), 0);
    broken.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
}
