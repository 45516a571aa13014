#include "afx/ui/dc.h"

#include <QColor>
#include <QPaintDevice>
#include <QPainter>
#include <mutex>
#include <unordered_map>

#include "afx/ui/dc_qt.h"

namespace {

// The screen resolution assumed where there is no device to ask.
constexpr int kDefaultDpi = 96;

// Live handles and the CDC that owns each.
struct HandleMap {
    std::mutex lock;
    std::unordered_map<HDC, CDC*> owners;
};

HandleMap& Handles()
{
    // Never destroyed: a CDC may outlive static destruction order.
    static HandleMap* map = new HandleMap;
    return *map;
}

} // namespace

CDC::CDC() : m_hDC(nullptr) {}

CDC::~CDC()
{
    SetHandle(nullptr);
}

void CDC::SetHandle(HDC hDC)
{
    HandleMap& map = Handles();
    std::lock_guard<std::mutex> guard(map.lock);
    if (m_hDC)
        map.owners.erase(m_hDC);
    m_hDC = hDC;
    if (m_hDC)
        map.owners[m_hDC] = this;
}

CDC* CDC::FromHandle(HDC hDC)
{
    if (!hDC)
        return nullptr;
    HandleMap& map = Handles();
    std::lock_guard<std::mutex> guard(map.lock);
    auto it = map.owners.find(hDC);
    return it == map.owners.end() ? nullptr : it->second;
}

int CDC::GetDeviceCaps(int nIndex) const
{
    QPainter* painter = AfxGetPainter(m_hDC);
    QPaintDevice* device = painter ? painter->device() : nullptr;
    if (!device)
        return 0;
    switch (nIndex) {
    case LOGPIXELSX:
        return device->logicalDpiX();
    case LOGPIXELSY:
        return device->logicalDpiY();
    case HORZRES:
        return device->width();
    case VERTRES:
        return device->height();
    case HORZSIZE:
        return device->widthMM();
    case VERTSIZE:
        return device->heightMM();
    case BITSPIXEL:
        return device->depth();
    default:
        return 0;
    }
}

int CDC::LogicalDpi(int nIndex) const
{
    int dpi = GetDeviceCaps(nIndex);
    return dpi > 0 ? dpi : kDefaultDpi;
}

void CDC::DPtoHIMETRIC(LPSIZE lpSize) const
{
    lpSize->cx = MulDiv(lpSize->cx, HIMETRIC_PER_INCH, LogicalDpi(LOGPIXELSX));
    lpSize->cy = MulDiv(lpSize->cy, HIMETRIC_PER_INCH, LogicalDpi(LOGPIXELSY));
}

void CDC::HIMETRICtoDP(LPSIZE lpSize) const
{
    lpSize->cx = MulDiv(lpSize->cx, LogicalDpi(LOGPIXELSX), HIMETRIC_PER_INCH);
    lpSize->cy = MulDiv(lpSize->cy, LogicalDpi(LOGPIXELSY), HIMETRIC_PER_INCH);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    if (!lpRect)
        return;
    CRect rect(lpRect);
    FillSolidRect(rect.left, rect.top, rect.Width(), rect.Height(), clr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    QPainter* painter = AfxGetPainter(m_hDC);
    if (!painter || cx <= 0 || cy <= 0)
        return;
    painter->fillRect(QRect(x, y, cx, cy), QColor(GetRValue(clr), GetGValue(clr), GetBValue(clr)));
}

CPainterDC::CPainterDC(QPaintDevice* pDevice) : m_pPainter(nullptr)
{
    if (pDevice) {
        m_ownPainter = std::make_unique<QPainter>();
        if (m_ownPainter->begin(pDevice))
            m_pPainter = m_ownPainter.get();
    }
    SetHandle(reinterpret_cast<HDC>(this));
}

CPainterDC::CPainterDC(QPainter* pPainter) : m_pPainter(pPainter)
{
    SetHandle(reinterpret_cast<HDC>(this));
}

CPainterDC::~CPainterDC()
{
    // Unregister before the painter goes, so that no one finds a handle
    // whose painter is ending.
    SetHandle(nullptr);
    if (m_ownPainter && m_ownPainter->isActive())
        m_ownPainter->end();
}

QPainter* CPainterDC::GetPainter() const
{
    return m_pPainter && m_pPainter->isActive() ? m_pPainter : nullptr;
}

QPainter* AfxGetPainter(HDC hDC)
{
    auto* dc = dynamic_cast<CPainterDC*>(CDC::FromHandle(hDC));
    return dc ? dc->GetPainter() : nullptr;
}
