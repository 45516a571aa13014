// LoadImage for icons and cursors: reads the file once, tells an animated
// cursor from an icon or cursor directory, chooses and decodes the images
// and hands the result to a new handle.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "afx/win32/icon_ani.h"
#include "afx/win32/icon_directory.h"
#include "afx/win32/icon_handle_qt.h"
#include "afx/win32/icon_image_qt.h"
#include "afx/win32/icon_limits.h"

namespace afx::icon {
namespace {

// A decoded image at the size it is wanted, with its hot spot.
struct Still {
    QImage image;
    POINT hotSpot{0, 0};
};

std::vector<Candidate> ReadableImages(const Directory& directory)
{
    // An entry whose image header cannot be read is passed over: the
    // others may still serve.
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < directory.entries.size(); ++i)
        if (std::optional<ImageFacts> facts = ProbeIconImage(directory.entries[i].image))
            candidates.push_back(Candidate{i, *facts});
    return candidates;
}

LONG ScaleCoordinate(LONG value, int from, int to)
{
    const long long scaled = static_cast<long long>(value) * to / from;
    return static_cast<LONG>(scaled < to ? scaled : to - 1);
}

// Loads one image of an icon or cursor file. cx and cy of 0 keep the chosen
// image's own size in that dimension.
std::optional<Still> LoadStill(ByteView file, UINT type, int cx, int cy)
{
    std::optional<Directory> directory = ReadDirectory(file);
    if (!directory)
        return std::nullopt;
    std::optional<Candidate> chosen = ChooseImage(ReadableImages(*directory), cx, cy);
    if (!chosen)
        return std::nullopt;
    const DirectoryEntry& entry = directory->entries[chosen->index];
    QImage image = DecodeIconImage(entry.image);
    if (image.isNull())
        return std::nullopt;

    const int width = image.width();
    const int height = image.height();
    Still still;
    if (type == IMAGE_CURSOR && directory->kind == DirectoryKind::Cursor)
        still.hotSpot = POINT{entry.hotSpotX < width ? entry.hotSpotX : width - 1,
                              entry.hotSpotY < height ? entry.hotSpotY : height - 1};
    else
        still.hotSpot = POINT{width / 2, height / 2};

    const int targetWidth = cx ? cx : width;
    const int targetHeight = cy ? cy : height;
    if (targetWidth != width || targetHeight != height) {
        image = image.scaled(targetWidth, targetHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            return std::nullopt;
        still.hotSpot.x = ScaleCoordinate(still.hotSpot.x, width, targetWidth);
        still.hotSpot.y = ScaleCoordinate(still.hotSpot.y, height, targetHeight);
    }
    still.image = std::move(image);
    return still;
}

std::size_t PixelBytes(const QImage& image)
{
    return static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()) * 4;
}

HICON LoadStillHandle(ByteView file, UINT type, int cx, int cy)
{
    std::optional<Still> still = LoadStill(file, type, cx, cy);
    if (!still)
        return nullptr;
    AfxIconContent content;
    content.bIcon = type == IMAGE_ICON;
    content.hotSpot = still->hotSpot;
    content.frames.push_back(std::move(still->image));
    content.stepRates.push_back(0);
    content.stepFrames.push_back(0);
    return AfxCreateIconHandle(std::move(content));
}

HICON LoadAnimatedHandle(ByteView file, UINT type, int cx, int cy)
{
    std::optional<AnimatedCursor> cursor = ReadAnimatedCursor(file);
    if (!cursor)
        return nullptr;
    AfxIconContent content;
    content.bIcon = type == IMAGE_ICON;
    std::size_t decodedBytes = 0;
    for (const ByteView& frameFile : cursor->frames) {
        // The first frame settles the size; the others are made to match it.
        const bool first = content.frames.empty();
        const int frameWidth = first ? cx : content.frames.front().width();
        const int frameHeight = first ? cy : content.frames.front().height();
        // Frames are read as icon directories only, so no frame can nest
        // another animation.
        std::optional<Still> frame = LoadStill(frameFile, type, frameWidth, frameHeight);
        if (!frame)
            return nullptr;
        decodedBytes += PixelBytes(frame->image);
        if (decodedBytes > kMaxDecodedBytes)
            return nullptr;
        if (first)
            content.hotSpot = frame->hotSpot;
        content.frames.push_back(std::move(frame->image));
    }
    content.stepRates = std::move(cursor->stepRates);
    content.stepFrames = std::move(cursor->stepFrames);
    return AfxCreateIconHandle(std::move(content));
}

// The whole of a small regular file. Opening does not block (a FIFO would
// wait for a writer) and anything but a regular file is refused, as is a
// file larger than kMaxFileBytes, whatever it grows to while being read.
std::optional<std::vector<BYTE>> ReadSmallFile(LPCSTR path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::vector<BYTE>> result;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        static_cast<std::size_t>(st.st_size) <= kMaxFileBytes) {
        std::vector<BYTE> bytes(static_cast<std::size_t>(st.st_size));
        std::size_t filled = 0;
        bool failed = false;
        while (filled < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0)
                break;
            filled += static_cast<std::size_t>(n);
        }
        // A file that shrank since fstat counts as what was read.
        bytes.resize(filled);
        if (!failed && !bytes.empty())
            result = std::move(bytes);
    }
    ::close(fd);
    return result;
}

} // namespace
} // namespace afx::icon

HICON AfxLoadIconFromMemory(const BYTE* pData, SIZE_T nSize, UINT uType, int cx, int cy)
{
    using namespace afx::icon;
    if (!pData || nSize == 0 || nSize > kMaxFileBytes)
        return nullptr;
    if (uType != IMAGE_ICON && uType != IMAGE_CURSOR)
        return nullptr;
    if (cx < 0 || cy < 0 || cx > kMaxDimension || cy > kMaxDimension)
        return nullptr;
    const ByteView file(pData, nSize);
    if (IsAnimatedCursor(file))
        return LoadAnimatedHandle(file, uType, cx, cy);
    return LoadStillHandle(file, uType, cx, cy);
}

HANDLE LoadImageA(HINSTANCE /*hInst*/, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (!(fuLoad & LR_LOADFROMFILE) || (type != IMAGE_ICON && type != IMAGE_CURSOR))
        return nullptr;
    if (!name || IS_INTRESOURCE(name))
        return nullptr;
    if (fuLoad & LR_DEFAULTSIZE) {
        if (cx == 0)
            cx = AFX_DEFAULT_ICON_SIZE;
        if (cy == 0)
            cy = AFX_DEFAULT_ICON_SIZE;
    }
    std::optional<std::vector<BYTE>> bytes = afx::icon::ReadSmallFile(name);
    if (!bytes)
        return nullptr;
    return AfxLoadIconFromMemory(bytes->data(), bytes->size(), type, cx, cy);
}
