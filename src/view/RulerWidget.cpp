#include "view/RulerWidget.h"

#include "document/QuorvelDoc.h"

#include <QPainter>

namespace {

// Tick lengths, pixels from the bottom edge.
constexpr int kMajorTick = 8;
constexpr int kMinorTick = 4;

}  // namespace

CRulerWidget::CRulerWidget(const CViewGeometry& geometry, const CQuorvelDoc& doc, QWidget* pParent)
    : QWidget(pParent), m_geometry(geometry), m_doc(doc)
{
    setObjectName(QStringLiteral("timeRuler"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRulerWidget::SetUnit(RulerUnit unit)
{
    m_unit = unit;
    update();
}

void CRulerWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().windowText().color());
    const int bottom = height() - 1;
    painter.drawLine(0, bottom, width(), bottom);
    if (!m_doc.m_bLoaded)
        return;
    QFont font = painter.font();
    font.setPixelSize(std::max(8, kRulerHeight - kMajorTick - 2));
    painter.setFont(font);
    for (const CRulerTick& tick : RulerTicks(m_geometry, m_doc.m_nFrameCount, m_doc.m_nSampleRate, m_unit)) {
        painter.drawLine(tick.m_nX, bottom - (tick.m_bMajor ? kMajorTick : kMinorTick), tick.m_nX, bottom);
        if (tick.m_bMajor)
            painter.drawText(tick.m_nX + 2, bottom - kMinorTick - 1, QString::fromStdString(tick.m_strLabel));
    }
}
