#include "app/Icons.h"

#include "app/Resource.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;

const QColor kInk(40, 40, 48);
const QColor kWave(0, 150, 0);
const QColor kLoop(200, 120, 0);
const QColor kPaper(250, 250, 245);

// Draws on a 16 × 16 grid, scaled to `size` pixels.
QPixmap Paint(int size, const std::function<void(QPainter&)>& draw)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pm;
}

QIcon FromPainter(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(Paint(size, draw));
    return icon;
}

QPen InkPen(double width = 1.2, const QColor& c = kInk)
{
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Page(QPainter& p)
{
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10, 1.5);
    path.lineTo(12.5, 4);
    path.lineTo(12.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.setPen(InkPen(1.0));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(10, 1.5), QPointF(10, 4));
    p.drawLine(QPointF(10, 4), QPointF(12.5, 4));
}

void Folder(QPainter& p)
{
    p.setPen(InkPen(1.0));
    p.setBrush(QColor(235, 200, 90));
    QPainterPath path;
    path.moveTo(1.5, 4);
    path.lineTo(5.5, 4);
    path.lineTo(7, 5.5);
    path.lineTo(13.5, 5.5);
    path.lineTo(13.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

void Disk(QPainter& p)
{
    p.setPen(InkPen(1.0));
    p.setBrush(QColor(70, 100, 170));
    p.drawRoundedRect(QRectF(2, 2, 12, 12), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 2, 7, 4.5));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(5, 9.5, 6, 4.5));
}

void Wave(QPainter& p, double x0, double x1, double y, double amp)
{
    QPainterPath path;
    const int steps = 24;
    for (int i = 0; i <= steps; ++i) {
        const double x = x0 + (x1 - x0) * i / steps;
        const double v = y - amp * std::sin(2 * kPi * 2 * i / steps) * (1.0 - 0.6 * i / steps);
        if (i == 0)
            path.moveTo(x, v);
        else
            path.lineTo(x, v);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(InkPen(1.3, kWave));
    p.drawPath(path);
}

// Loop brackets at x0 and x1.
void Brackets(QPainter& p, double x0, double x1)
{
    p.setPen(InkPen(1.3, kLoop));
    p.drawLine(QPointF(x0, 3), QPointF(x0, 13));
    p.drawLine(QPointF(x1, 3), QPointF(x1, 13));
    p.drawLine(QPointF(x0, 3), QPointF(x0 + 1.5, 3));
    p.drawLine(QPointF(x0, 13), QPointF(x0 + 1.5, 13));
    p.drawLine(QPointF(x1, 3), QPointF(x1 - 1.5, 3));
    p.drawLine(QPointF(x1, 13), QPointF(x1 - 1.5, 13));
}

void Magnifier(QPainter& p)
{
    p.setPen(InkPen(1.3));
    p.setBrush(QColor(220, 235, 250));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.setPen(InkPen(2.2));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
}

// A pair of arrow heads above and below the middle: pointing away from it
// (bigger) or toward it (smaller).
void VerticalArrows(QPainter& p, bool bOutward)
{
    p.setPen(InkPen(1.2));
    const double tip = bOutward ? 1.0 : 4.5;
    const double base = bOutward ? 4.5 : 1.0;
    p.drawLine(QPointF(8, 1), QPointF(8, 4.5));
    p.drawLine(QPointF(8, 11.5), QPointF(8, 15));
    p.drawLine(QPointF(6, base), QPointF(8, tip));
    p.drawLine(QPointF(10, base), QPointF(8, tip));
    p.drawLine(QPointF(6, 16 - base), QPointF(8, 16 - tip));
    p.drawLine(QPointF(10, 16 - base), QPointF(8, 16 - tip));
}

void DrawCommand(QPainter& p, int nID)
{
    switch (nID) {
    case ID_FILE_NEW:
        Page(p);
        p.setPen(InkPen(1.0, kLoop));
        p.drawLine(QPointF(8, 7), QPointF(8, 12));
        p.drawLine(QPointF(5.5, 9.5), QPointF(10.5, 9.5));
        break;
    case ID_FILE_OPEN:
        Folder(p);
        p.setPen(InkPen(1.3, kWave));
        p.drawLine(QPointF(9, 2), QPointF(13, 2));
        p.drawLine(QPointF(13, 2), QPointF(13, 5));
        break;
    case ID_FILE_SAVE:
        Disk(p);
        break;
    case ID_FILE_SAVE_AS:
        Disk(p);
        p.setPen(InkPen(2.0, kLoop));
        p.drawLine(QPointF(9, 13), QPointF(15, 7));
        break;
    case ID_PLAY_PLAY: {
        p.setPen(InkPen(1.0));
        p.setBrush(kWave);
        const QPointF tri[] = {{4, 2.5}, {13, 8}, {4, 13.5}};
        p.drawPolygon(tri, 3);
        break;
    }
    case ID_PLAY_SEAM: {
        // Play, into the loop's end marker.
        p.setPen(InkPen(1.0));
        p.setBrush(kWave);
        const QPointF tri[] = {{2, 3.5}, {9.5, 8}, {2, 12.5}};
        p.drawPolygon(tri, 3);
        p.setPen(InkPen(1.6, kLoop));
        p.drawLine(QPointF(12.5, 2), QPointF(12.5, 14));
        p.drawLine(QPointF(12.5, 2), QPointF(10.5, 2));
        p.drawLine(QPointF(12.5, 14), QPointF(10.5, 14));
        break;
    }
    case ID_PLAY_STOP:
        p.setPen(InkPen(1.0));
        p.setBrush(QColor(190, 40, 40));
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    case ID_EDIT_FIND_LOOP_CROSSFADE:
        Brackets(p, 2, 14);
        p.setPen(InkPen(1.2, kWave));
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        break;
    case ID_EDIT_FIND_LOOP:
        Brackets(p, 2, 14);
        Wave(p, 3, 13, 8, 3.5);
        break;
    case ID_EDIT_AUTO_LOOP: {
        // The loop brackets around a steady wave, with a spark: placed by itself.
        Brackets(p, 2, 14);
        Wave(p, 3, 13, 9.5, 2.5);
        p.setPen(InkPen(1.0, kLoop));
        p.setBrush(QColor(255, 210, 60));
        const QPointF spark[] = {{8, 0.5}, {9, 3}, {11.5, 4}, {9, 5}, {8, 7.5}, {7, 5}, {4.5, 4}, {7, 3}};
        p.drawPolygon(spark, 8);
        break;
    }
    case ID_EDIT_REMOVE_LOOP:
        Brackets(p, 2, 14);
        p.setPen(InkPen(1.8, QColor(190, 40, 40)));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO: {
        // A hooked arrow turning back (undo) or on (redo).
        const bool bUndo = nID == ID_EDIT_UNDO;
        p.save();
        if (!bUndo)
            p.setTransform(QTransform(-1, 0, 0, 1, 16, 0));
        p.setPen(InkPen(1.6, kWave));
        p.setBrush(Qt::NoBrush);
        QPainterPath hook(QPointF(4, 6));
        hook.lineTo(9, 6);
        hook.cubicTo(QPointF(15, 6), QPointF(15, 13), QPointF(9, 13));
        hook.lineTo(6, 13);
        p.drawPath(hook);
        p.setBrush(kWave);
        p.setPen(Qt::NoPen);
        const QPointF head[] = {{0.5, 6}, {5, 2}, {5, 10}};
        p.drawPolygon(head, 3);
        p.restore();
        break;
    }
    case ID_EDIT_RELOAD: {
        p.setPen(InkPen(1.6, kWave));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
        p.setBrush(kWave);
        p.setPen(Qt::NoPen);
        const QPointF head[] = {{9.5, 0.5}, {13.5, 3.5}, {9, 5.5}};
        p.drawPolygon(head, 3);
        break;
    }
    case ID_VIEW_ZOOM_IN:
        Magnifier(p);
        p.setPen(InkPen(1.3));
        p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
        p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
        break;
    case ID_VIEW_ZOOM_OUT:
        Magnifier(p);
        p.setPen(InkPen(1.3));
        p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
        break;
    case ID_VIEW_ZOOM_1_1: {
        Magnifier(p);
        QFont f;
        f.setPixelSize(5);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kInk);
        p.drawText(QRectF(2, 3, 9, 7), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    case ID_VIEW_ZOOM_ALL:
        Wave(p, 4, 12, 8, 3);
        p.setPen(InkPen(1.2));
        p.drawLine(QPointF(1, 8), QPointF(3.5, 5.5));
        p.drawLine(QPointF(1, 8), QPointF(3.5, 10.5));
        p.drawLine(QPointF(15, 8), QPointF(12.5, 5.5));
        p.drawLine(QPointF(15, 8), QPointF(12.5, 10.5));
        break;
    case ID_VIEW_ZOOM_LOOP:
        Magnifier(p);
        p.setPen(InkPen(1.1, kLoop));
        p.drawLine(QPointF(4.5, 4.5), QPointF(4.5, 8.5));
        p.drawLine(QPointF(8.5, 4.5), QPointF(8.5, 8.5));
        break;
    case ID_VIEW_AMPLITUDE_IN:
        Wave(p, 1, 15, 8, 1.5);
        VerticalArrows(p, true);
        break;
    case ID_VIEW_AMPLITUDE_OUT:
        Wave(p, 1, 15, 8, 2.5);
        VerticalArrows(p, false);
        break;
    case ID_VIEW_AMPLITUDE_FIT:
        p.setPen(InkPen(1.2));
        p.drawLine(QPointF(1, 2), QPointF(15, 2));
        p.drawLine(QPointF(1, 14), QPointF(15, 14));
        Wave(p, 1.5, 14.5, 8, 5.5);
        break;
    case ID_VIEW_SEAM: {
        // The recording going on (grey) and the loop start taking over (green).
        p.setPen(InkPen(1.0, QColor(150, 150, 150)));
        p.drawLine(QPointF(8, 8), QPointF(14.5, 12));
        Wave(p, 1.5, 14.5, 8, 4);
        p.setPen(InkPen(1.2, kLoop));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        break;
    }
    default:
        break;
    }
}

// The desktop theme's name for a command's picture, if it has one.
const char* ThemeName(int nID)
{
    switch (nID) {
    case ID_FILE_NEW: return "document-new";
    case ID_FILE_OPEN: return "document-open";
    case ID_FILE_SAVE: return "document-save";
    case ID_FILE_SAVE_AS: return "document-save-as";
    case ID_PLAY_PLAY: return "media-playback-start";
    case ID_PLAY_STOP: return "media-playback-stop";
    case ID_EDIT_RELOAD: return "view-refresh";
    case ID_EDIT_UNDO: return "edit-undo";
    case ID_EDIT_REDO: return "edit-redo";
    case ID_VIEW_ZOOM_IN: return "zoom-in";
    case ID_VIEW_ZOOM_OUT: return "zoom-out";
    case ID_VIEW_ZOOM_1_1: return "zoom-original";
    case ID_VIEW_ZOOM_ALL: return "zoom-fit-best";
    default: return nullptr;  // loop commands: only our own pictures say what they do
    }
}

}  // namespace

QIcon CreateAppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(Paint(size, [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(24, 28, 36));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            p.setBrush(QColor(200, 120, 0, 70));
            p.drawRect(QRectF(6, 2, 6, 12));
            Wave(p, 1.5, 14.5, 8, 4.5);
            Brackets(p, 6, 12);
        }));
    }
    return icon;
}

QIcon CreateCommandIcon(int nID)
{
    const QIcon own = FromPainter([nID](QPainter& p) { DrawCommand(p, nID); });
    if (const char* name = ThemeName(nID))
        return QIcon::fromTheme(QString::fromLatin1(name), own);
    return own;
}
