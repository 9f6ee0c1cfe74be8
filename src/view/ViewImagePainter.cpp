#include "view/ViewImagePainter.h"

#include "document/QuorvelDoc.h"
#include "view/ViewGeometry.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>

namespace {

QRect ToQRect(const PixelRect& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

class CImageTextOutput : public IViewTextOutput {
public:
    explicit CImageTextOutput(QImage& image) : m_image(image)
    {
        m_font = QGuiApplication::font();
        m_font.setStyleStrategy(QFont::NoAntialias);
    }

    void DrawLabel(const PixelRect& rcDevice, const PixelRect& rcClip, const char* text, std::uint32_t color,
                   std::uint32_t bk) override
    {
        const PixelRect visible = IntersectRect(rcDevice, rcClip);
        if (visible.IsEmpty())
            return;
        QPainter painter(&m_image);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setClipRect(ToQRect(visible));
        painter.setFont(m_font);
        painter.setPen(QColor::fromRgb(color));
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor::fromRgb(bk));
        painter.drawText(ToQRect(rcDevice), Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(text));
    }

private:
    QImage& m_image;
    QFont m_font;
};

}  // namespace

void PaintViewImage(QImage& image, const QRect& rcClient, CWaveformDrawing& drawing, const CQuorvelDoc& doc,
                    const CViewGeometry& geometry, const PlayCursorState& cursor)
{
    if (image.isNull() || rcClient.isEmpty())
        return;
    Q_ASSERT(image.format() == QImage::Format_RGB32);
    auto* pBits = reinterpret_cast<std::uint32_t*>(image.bits());
    CPixelCanvas canvas(pBits, image.width(), image.height(), int(image.bytesPerLine() / 4));
    const ViewPoint scroll = geometry.GetScrollPosition();
    canvas.SetOrigin(-scroll.x, -scroll.y);
    canvas.SetClip({rcClient.left(), rcClient.top(), rcClient.left() + rcClient.width(),
                    rcClient.top() + rcClient.height()});
    drawing.EraseBackground(canvas);
    CImageTextOutput text(image);
    drawing.Draw(canvas, doc, geometry, cursor, &text);
}
