#include "afx/win32/icon_handle_qt.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// The live handles. A handle is the address of its content; looking it up
// here first is what lets a stale or foreign pointer be refused instead of
// followed.
class IconRegistry {
public:
    HICON Add(std::unique_ptr<AfxIconContent> content)
    {
        HICON handle = reinterpret_cast<HICON>(content.get());
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live.emplace(handle, std::move(content));
        return handle;
    }

    BOOL Remove(HICON handle)
    {
        std::unique_ptr<AfxIconContent> content;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto found = m_live.find(handle);
            if (found == m_live.end())
                return FALSE;
            content = std::move(found->second);
            m_live.erase(found);
        }
        return TRUE; // the content is freed here, outside the lock
    }

    // Runs read(content) under the lock when the handle is live; FALSE
    // otherwise.
    template <typename Read>
    BOOL With(HICON handle, Read read)
    {
        if (!handle)
            return FALSE;
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_live.find(handle);
        if (found == m_live.end())
            return FALSE;
        return read(static_cast<const AfxIconContent&>(*found->second));
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HICON, std::unique_ptr<AfxIconContent>> m_live;
};

IconRegistry& Registry()
{
    // Never destroyed: handles a program leaks may outlive every static
    // destructor that could otherwise run before their owners are done.
    static IconRegistry* registry = new IconRegistry;
    return *registry;
}

bool HoldsTogether(const AfxIconContent& content)
{
    if (content.frames.empty() || content.stepRates.empty() ||
        content.stepRates.size() != content.stepFrames.size())
        return false;
    const QSize size = content.frames.front().size();
    for (const QImage& frame : content.frames)
        if (frame.isNull() || frame.size() != size)
            return false;
    for (int frame : content.stepFrames)
        if (frame < 0 || static_cast<std::size_t>(frame) >= content.frames.size())
            return false;
    return content.hotSpot.x >= 0 && content.hotSpot.y >= 0 && content.hotSpot.x < size.width() &&
           content.hotSpot.y < size.height();
}

// Frames keep no colour under full transparency, so that pixels compare
// equal whatever the decoder left there.
void ClearTransparentPixels(QImage& frame)
{
    for (int y = 0; y < frame.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            if (qAlpha(row[x]) == 0)
                row[x] = 0;
    }
}

bool IsFrameOf(const AfxIconContent& content, int nFrame)
{
    return nFrame >= 0 && static_cast<std::size_t>(nFrame) < content.frames.size();
}

bool IsStepOf(const AfxIconContent& content, int nStep)
{
    return nStep >= 0 && static_cast<std::size_t>(nStep) < content.stepFrames.size();
}

} // namespace

HICON AfxCreateIconHandle(AfxIconContent content)
{
    if (!HoldsTogether(content))
        return nullptr;
    for (QImage& frame : content.frames) {
        if (frame.format() != QImage::Format_ARGB32)
            frame = frame.convertToFormat(QImage::Format_ARGB32);
        if (frame.isNull())
            return nullptr;
        ClearTransparentPixels(frame);
    }
    return Registry().Add(std::make_unique<AfxIconContent>(std::move(content)));
}

QImage AfxGetIconImage(HICON hIcon, int nFrame)
{
    QImage image;
    Registry().With(hIcon, [&](const AfxIconContent& content) {
        if (!IsFrameOf(content, nFrame))
            return FALSE;
        image = content.frames[static_cast<std::size_t>(nFrame)];
        return TRUE;
    });
    return image;
}

BOOL DestroyIcon(HICON hIcon)
{
    if (!hIcon)
        return FALSE;
    return Registry().Remove(hIcon);
}

BOOL DestroyCursor(HCURSOR hCursor)
{
    return DestroyIcon(hCursor);
}

BOOL GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    if (!piconinfo)
        return FALSE;
    return Registry().With(hIcon, [&](const AfxIconContent& content) {
        piconinfo->fIcon = content.bIcon;
        piconinfo->xHotspot = static_cast<DWORD>(content.hotSpot.x);
        piconinfo->yHotspot = static_cast<DWORD>(content.hotSpot.y);
        piconinfo->hbmMask = nullptr;
        piconinfo->hbmColor = nullptr;
        return TRUE;
    });
}

BOOL AfxGetIconSize(HICON hIcon, LPSIZE pSize)
{
    if (!pSize)
        return FALSE;
    return Registry().With(hIcon, [&](const AfxIconContent& content) {
        pSize->cx = content.frames.front().width();
        pSize->cy = content.frames.front().height();
        return TRUE;
    });
}

int AfxGetIconFrameCount(HICON hIcon)
{
    int count = 0;
    Registry().With(hIcon, [&](const AfxIconContent& content) {
        count = static_cast<int>(content.frames.size());
        return TRUE;
    });
    return count;
}

int AfxGetIconStepCount(HICON hIcon)
{
    int count = 0;
    Registry().With(hIcon, [&](const AfxIconContent& content) {
        count = static_cast<int>(content.stepFrames.size());
        return TRUE;
    });
    return count;
}

BOOL AfxGetIconStepRate(HICON hIcon, int nStep, DWORD* pJiffies)
{
    if (!pJiffies)
        return FALSE;
    return Registry().With(hIcon, [&](const AfxIconContent& content) {
        if (!IsStepOf(content, nStep))
            return FALSE;
        *pJiffies = content.stepRates[static_cast<std::size_t>(nStep)];
        return TRUE;
    });
}

BOOL AfxGetIconStepFrame(HICON hIcon, int nStep, int* pFrame)
{
    if (!pFrame)
        return FALSE;
    return Registry().With(hIcon, [&](const AfxIconContent& content) {
        if (!IsStepOf(content, nStep))
            return FALSE;
        *pFrame = content.stepFrames[static_cast<std::size_t>(nStep)];
        return TRUE;
    });
}

BOOL AfxGetIconPixels(HICON hIcon, int nFrame, std::vector<DWORD>* pArgb, LPSIZE pSize)
{
    if (!pArgb)
        return FALSE;
    // Copy the pixels out of the frame after the lock is released.
    QImage frame = AfxGetIconImage(hIcon, nFrame);
    if (frame.isNull())
        return FALSE;
    const int width = frame.width();
    const int height = frame.height();
    pArgb->resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < width; ++x)
            (*pArgb)[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                row[x];
    }
    if (pSize) {
        pSize->cx = width;
        pSize->cy = height;
    }
    return TRUE;
}
