#include "view/SeamView.h"

#include "document/QuorvelDoc.h"
#include "view/SeamDrawing.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

CSeamView::CSeamView(const CQuorvelDoc& doc, QWidget* pParent) : QWidget(pParent), m_doc(doc)
{
    setObjectName(QStringLiteral("CSeamView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Green: the loop end running into the loop start, as playback repeats it.\n"
                              "Grey: how the recording goes on after the loop end.\n"
                              "The closer they match, the cleaner the seam. Wheel: show less or more."));
}

void CSeamView::SetSpanMs(double ms)
{
    m_dSpanMs = std::isnan(ms) ? kDefaultSpanMs : std::clamp(ms, kMinSpanMs, kMaxSpanMs);
    Refresh();
}

int CSeamView::GetFramesPerSide() const
{
    const double frames = std::round(std::max(0, m_doc.m_nSampleRate) * m_dSpanMs / 1000.0);
    return std::max(kMinFramesPerSide, int(frames));
}

QSize CSeamView::sizeHint() const
{
    return {600, 160};
}

QSize CSeamView::minimumSizeHint() const
{
    return {120, 60};
}

void CSeamView::Refresh()
{
    update();
}

void CSeamView::paintEvent(QPaintEvent*)
{
    if (m_image.size() != size())
        m_image = QImage(size(), QImage::Format_RGB32);
    if (m_image.isNull())
        return;
    CPixelCanvas canvas(reinterpret_cast<std::uint32_t*>(m_image.bits()), m_image.width(), m_image.height(),
                        int(m_image.bytesPerLine() / 4));
    DrawSeam(canvas, m_image.width(), m_image.height(), m_doc, GetFramesPerSide());
    QPainter(this).drawImage(0, 0, m_image);
}

void CSeamView::wheelEvent(QWheelEvent* pEvent)
{
    const int delta = pEvent->angleDelta().y();
    if (delta == 0) {
        pEvent->ignore();
        return;
    }
    // Away from the user shows less (zooms in), as in the waveform view's zoom.
    SetSpanMs(delta > 0 ? m_dSpanMs / 2.0 : m_dSpanMs * 2.0);
    pEvent->accept();
}
