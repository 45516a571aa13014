#include "apps/kestrum/render.h"

#include <QImage>

#include <cstdlib>
#include <vector>

#include "afx/ole/picture.h"
#include "afx/ole/stream.h"
#include "afx/ui/dc_qt.h"
#include "afx/win32/icon.h"

namespace cli {

namespace {

constexpr int kMaxSide = 8192;

// The picture's own size in pixels at 96 dpi, decoded the way DrawJpeg does.
std::optional<RenderSize> PictureSize(CZELResItem& item)
{
    CByteArray* data = item.GetData();
    if (data->IsEmpty())
        return std::nullopt;
    CMemFile file(data->GetData(), static_cast<UINT>(data->GetSize()));
    IPicture* picture = nullptr;
    {
        CArchive ar(&file, CArchive::load | CArchive::bNoFlushOnDelete);
        CArchiveStream stream(&ar);
        OleLoadPicture(&stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    }
    file.Detach();
    if (!picture)
        return std::nullopt;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    picture->Release();
    CDC screen; // no device: 96 dpi
    SIZE px = {width, height};
    screen.HIMETRICtoDP(&px);
    if (px.cx < 1 || px.cy < 1 || px.cx > kMaxSide || px.cy > kMaxSide)
        return std::nullopt;
    return RenderSize{px.cx, px.cy};
}

bool RenderPicture(CZELResItem& item, const std::optional<RenderSize>& size, bool cut, QImage* image,
                   std::string* error)
{
    std::optional<RenderSize> target = size ? size : PictureSize(item);
    if (!target) {
        *error = "the resource's bytes are no picture";
        return false;
    }
    *image = QImage(target->width, target->height, QImage::Format_ARGB32);
    image->fill(Qt::white);
    image->setDotsPerMeterX(3780); // 96 dpi, the resolution pictures without one are taken at
    image->setDotsPerMeterY(3780);
    CPainterDC dc(image);
    if (!item.DrawJpeg(&dc, CRect(0, 0, target->width, target->height), cut ? FALSE : TRUE)) {
        *error = "the resource's bytes are no picture";
        return false;
    }
    return true;
}

bool RenderIcon(CZELResItem& item, const std::optional<RenderSize>& size, QImage* image, std::string* error)
{
    HICON icon = item.GetType() == RESTYPE_CURSOR
                     ? item.LoadCursor()
                     : item.LoadIcon(size ? size->width : 0, size ? size->height : 0);
    if (!icon) {
        *error = "the resource's bytes are no icon or cursor";
        return false;
    }
    std::vector<DWORD> pixels;
    SIZE got{};
    bool ok = AfxGetIconPixels(icon, 0, &pixels, &got);
    DestroyIcon(icon);
    if (!ok) {
        *error = "the icon has no image";
        return false;
    }
    QImage frame(reinterpret_cast<const uchar*>(pixels.data()), got.cx, got.cy, got.cx * 4, QImage::Format_ARGB32);
    *image = frame.copy();
    // A cursor keeps its own size; scale it when another was asked for.
    if (size && (image->width() != size->width || image->height() != size->height))
        *image = image->scaled(size->width, size->height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return true;
}

} // namespace

std::optional<RenderSize> ParseRenderSize(const std::string& text)
{
    size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size())
        return std::nullopt;
    char* end = nullptr;
    long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x)
        return std::nullopt;
    long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return std::nullopt;
    return RenderSize{static_cast<int>(w), static_cast<int>(h)};
}

bool RenderItem(CZELResItem& item, const std::optional<RenderSize>& size, bool cut, const std::string& out,
                std::string* error)
{
    QImage image;
    bool drawn = false;
    switch (item.GetType()) {
    case RESTYPE_IMAGE:
    case RESTYPE_GIF:
        drawn = RenderPicture(item, size, cut, &image, error);
        break;
    case RESTYPE_ICON:
    case RESTYPE_CURSOR:
        drawn = RenderIcon(item, size, &image, error);
        break;
    default:
        *error = "only image, GIF, icon and cursor resources can be drawn";
        return false;
    }
    if (!drawn)
        return false;
    if (!image.save(QString::fromLocal8Bit(out.c_str()), "PNG")) {
        *error = out + ": cannot write";
        return false;
    }
    return true;
}

} // namespace cli
