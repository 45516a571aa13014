// Loading a 1600x1200 JPEG through an archive stream with OleLoadPicture,
// against Qt decoding the same bytes; drawing it scaled into 200x100 with
// IPicture::Render, against QPainter drawing the decoded image directly.
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "afx/core/archive.h"
#include "afx/core/file.h"
#include "afx/ole/picture.h"
#include "afx/ole/stream.h"
#include "afx/ui/dc_qt.h"
#include "bench/ratio_reporter.h"

namespace {

const QByteArray& JpegBytes()
{
    static const QByteArray bytes = [] {
        QImage image(1600, 1200, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 255) / 1600, (y * 255) / 1200, ((x ^ y) * 7) & 0xFF));
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 90);
        return out;
    }();
    return bytes;
}

IPicture* LoadPicture(QByteArray& bytes)
{
    CMemFile file(reinterpret_cast<BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::load, 4096);
    CArchiveStream stream(&archive);
    IPicture* picture = nullptr;
    OleLoadPicture(&stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    archive.Close();
    file.Detach();
    return picture;
}

// The lower bound of loading: Qt decoding the bytes it is handed.
void BM_QtDecode(benchmark::State& state)
{
    const QByteArray bytes = JpegBytes();
    for (auto _ : state) {
        QImage image = QImage::fromData(bytes);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_OleLoadPicture(benchmark::State& state)
{
    QByteArray bytes = JpegBytes();
    for (auto _ : state) {
        IPicture* picture = LoadPicture(bytes);
        if (!picture) {
            state.SkipWithError("the picture did not load");
            break;
        }
        picture->Release();
    }
}

// The lower bound of drawing: the decoded image scaled by QPainter itself.
void BM_QtDrawScaled(benchmark::State& state)
{
    const QImage image = QImage::fromData(JpegBytes());
    QImage canvas(300, 200, QImage::Format_RGB32);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (auto _ : state) {
        painter.drawImage(QRectF(50, 50, 200, 100), image, QRectF(image.rect()));
        benchmark::DoNotOptimize(canvas.constBits());
    }
}

void BM_RenderScaled(benchmark::State& state)
{
    QByteArray bytes = JpegBytes();
    IPicture* picture = LoadPicture(bytes);
    if (!picture) {
        state.SkipWithError("the picture did not load");
        return;
    }
    LONG width = 0;
    LONG height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    QImage canvas(300, 200, QImage::Format_RGB32);
    {
        CPainterDC dc(&canvas);
        for (auto _ : state) {
            picture->Render(dc.GetSafeHdc(), 50, 50, 200, 100, 0, height, width, -height, nullptr);
            benchmark::DoNotOptimize(canvas.constBits());
        }
    }
    picture->Release();
}

BENCHMARK(BM_QtDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OleLoadPicture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtDrawScaled)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RenderScaled)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithRatios(argc, argv,
                                {{"BM_OleLoadPicture/real_time", "BM_QtDecode/real_time", 1.2},
                                 {"BM_RenderScaled/real_time", "BM_QtDrawScaled/real_time", 1.3}});
}
