// The item's files and drawings against their lower bounds: GetResFile of a
// 1 MiB item against a raw write of the same bytes to the same folder, and
// DrawJpeg of a cached 1024x768 picture into 256x192 against drawing the same
// decoded image with Qt.
#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

#include "afx/ui/dc_qt.h"
#include "afx/win32/temp_path.h"
#include "bench/ratio_reporter.h"
#include "kestrum/kestrum.h"

namespace {

constexpr DWORD kFileBytes = 1 << 20;

std::vector<BYTE> FileBytes()
{
    std::vector<BYTE> bytes(kFileBytes);
    for (DWORD i = 0; i < kFileBytes; ++i)
        bytes[i] = static_cast<BYTE>(i * 7);
    return bytes;
}

// The same bytes through open, write and close, to a name in the same folder.
void BM_RawWrite(benchmark::State& state)
{
    std::vector<BYTE> bytes = FileBytes();
    char folder[4096];
    GetTempPath(sizeof folder, folder);
    int n = 0;
    for (auto _ : state) {
        std::string path = std::string(folder) + "raw" + std::to_string(n) + ".txt";
        n = (n + 1) % 10;
        int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            state.SkipWithError("raw write failed");
            break;
        }
        ::close(fd);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFileBytes);
}

void BM_GetResFile(benchmark::State& state)
{
    std::vector<BYTE> bytes = FileBytes();
    CZELResItem item;
    item.SetType(RESTYPE_VIDEO);
    item.SetData(bytes.data(), kFileBytes);
    for (auto _ : state) {
        CString path = item.GetResFile();
        if (path.IsEmpty()) {
            state.SkipWithError("GetResFile failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFileBytes);
}

QImage Picture()
{
    QImage image(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            image.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    return image;
}

std::vector<BYTE> Jpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

// Qt drawing the decoded picture scaled into the rectangle, as Render does.
void BM_QtDrawImage(benchmark::State& state)
{
    std::vector<BYTE> jpeg = Jpeg(Picture());
    QImage picture = QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()));
    QImage canvas(256, 192, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    for (auto _ : state) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(0, 0, 256, 192), picture, QRectF(picture.rect()));
        painter.restore();
        benchmark::ClobberMemory();
    }
}

void BM_DrawJpegCached(benchmark::State& state)
{
    std::vector<BYTE> jpeg = Jpeg(Picture());
    CZELResItem item;
    item.SetType(RESTYPE_IMAGE);
    item.SetData(jpeg.data(), static_cast<DWORD>(jpeg.size()));
    QImage canvas(256, 192, QImage::Format_ARGB32_Premultiplied);
    CPainterDC dc(&canvas);
    if (!item.DrawJpeg(&dc, CRect(0, 0, 256, 192), TRUE)) { // decodes and keeps the picture
        state.SkipWithError("the picture did not decode");
        return;
    }
    for (auto _ : state) {
        item.DrawJpeg(&dc, CRect(0, 0, 256, 192), TRUE);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_RawWrite)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_GetResFile)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_QtDrawImage)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DrawJpegCached)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    InitKestrumDLL();
    return bench::RunWithRatios(argc, argv,
                                {{"BM_GetResFile/real_time", "BM_RawWrite/real_time", 1.5},
                                 {"BM_DrawJpegCached/real_time", "BM_QtDrawImage/real_time", 1.2}});
}
