// The Qt side of device contexts. Framework-internal: it names Qt, so only
// the framework's sources, its tests and hosts that use Qt themselves include
// it; public headers never do.
#pragma once

#include <memory>

#include "afx/ui/dc.h"

class QPainter;
class QPaintDevice;

// A CDC that draws with a QPainter. Either it opens its own painter on a
// paint device and ends it when destroyed (an image or a pixmap; a widget
// only inside its paint event), or it borrows a painter that someone else has
// begun and keeps (a paint event's painter, a layer being composed).
class CPainterDC : public CDC {
public:
    explicit CPainterDC(QPaintDevice* pDevice);
    explicit CPainterDC(QPainter* pPainter);
    ~CPainterDC() override;

    // The painter, or null when it could not begin on its device or has
    // ended since.
    QPainter* GetPainter() const;

private:
    std::unique_ptr<QPainter> m_ownPainter;
    QPainter* m_pPainter;
};

// The active painter behind a live device context handle; null for a null,
// unknown or dead handle, or a painter that is not active.
QPainter* AfxGetPainter(HDC hDC);
