// Helpers of the waveform view's widget tests: a view that records its
// repaints and messages, a fake sound device, showing a view of a given
// size offscreen, grabbing its pixels, and the label boxes and colours the
// pixel checks look for.
#pragma once

#include "view/QuorvelView.h"
#include "view/RenderView.h"
#include "view/SeamDrawing.h"
#include "view/SeamView.h"

#include "TempFolder.h"
#include "TestDocs.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>


namespace viewtest {


constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kGreen = 0xFF00AA00u;
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kInvertedGreen = 0xFFFF55FFu;

// Records what the view asks for instead of showing modal boxes.
class CSpyView : public CQuorvelView {
public:
    using CQuorvelView::CQuorvelView;

    QList<QRect> m_repaints;
    int m_nFullRepaints = 0;
    int m_nEndLoopCurves = 0;
    QStringList m_messages;

    void ClearLog()
    {
        m_repaints.clear();
        m_nFullRepaints = 0;
        m_nEndLoopCurves = 0;
    }

protected:
    void RepaintClientRect(const QRect& rc) override
    {
        m_repaints << rc;
        CQuorvelView::RepaintClientRect(rc);
    }
    void RepaintAll() override
    {
        ++m_nFullRepaints;
        CQuorvelView::RepaintAll();
    }
    void ComputeEndLoopCurve() override
    {
        ++m_nEndLoopCurves;
        CQuorvelView::ComputeEndLoopCurve();
    }
    void ShowMessage(const QString& text, bool) override { m_messages << text; }
};

// A device that accepts everything; returned buffers come back later on the
// event loop, the played position is set by the test.
class CFakeWaveOut : public IWaveOut {
public:
    int Open(int, int, IWaveOutSink* pSink) override
    {
        m_pSink = pSink;
        m_bOpen = true;
        return 0;
    }
    int PrepareHeader(WaveHeader*) override { return 0; }
    int Write(WaveHeader* pHeader) override
    {
        m_queued.append(pHeader);
        return 0;
    }
    int Reset() override
    {
        for (WaveHeader* p : m_queued) {
            IWaveOutSink* pSink = m_pSink;
            // Dropped when the device (and so its sink) is gone first.
            QMetaObject::invokeMethod(&m_context, [pSink, p] { pSink->OnWaveOutDone(p); }, Qt::QueuedConnection);
        }
        m_queued.clear();
        m_nPosition = 0;
        return 0;
    }
    int Close() override
    {
        m_bOpen = false;
        return 0;
    }
    std::uint64_t GetPositionBytes() override { return m_nPosition; }

    QObject m_context;
    IWaveOutSink* m_pSink = nullptr;
    QList<WaveHeader*> m_queued;
    std::uint64_t m_nPosition = 0;
    bool m_bOpen = false;
};

// A shown view of exactly width × height client pixels after its first update.
inline std::unique_ptr<CSpyView> ShowView(CQuorvelDoc& doc, int width, int height)
{
    auto view = std::make_unique<CSpyView>(doc);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->resize(width, height);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("window not exposed");
    view->OnInitialUpdate();
    view->ClearLog();
    return view;
}

inline QImage Grab(CQuorvelView& view)
{
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline double Constant(double v)
{
    return v;
}

// Widths of the one-pixel columns among the repaint rectangles.
inline int CountColumns(const QList<QRect>& rects)
{
    int n = 0;
    for (const QRect& rc : rects)
        n += rc.width() == 1;
    return n;
}

// A mouse event with exactly the given position and button state, sent
// straight to the widget. QTest keeps its own record of held buttons, so it
// can neither lose a release nor send a fractional position.
inline void SendMouse(QWidget* pWidget, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, pWidget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

constexpr QRgb kGrid = 0xFF0000AAu;
constexpr QRgb kText = 0xFFAA0000u;

// One label box of the curve strips, (left, top, right, bottom) exclusive.
struct LabelBox {
    const char* text;
    QRect rc;
};

inline QRect Box(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// The label boxes for one lane (Hw = 128) and strips of 128 pixels, with
// the content ending at x = contentRight.
inline QList<LabelBox> LabelBoxes(int contentRight)
{
    return {
        {"Begin Loop", Box(0, 128 + 128 - 25, 85, 128 + 128 - 5)},
        {"End Loop", Box(0, 128 + 256 - 25, 85, 128 + 256 - 5)},
        {"Best 0", Box(contentRight - 60, 128 + 5, contentRight, 128 + 25)},
        {"Worst 0", Box(contentRight - 60, 128 + 128 - 25, contentRight, 128 + 128 - 5)},
        {"Best 1", Box(contentRight - 60, 128 + 128 + 5, contentRight, 128 + 128 + 25)},
        {"Worst 1", Box(contentRight - 60, 128 + 256 - 25, contentRight, 128 + 256 - 5)},
    };
}

// Horizontal extent of the text-coloured pixels in rc (0 when none).
inline int TextWidth(const QImage& img, const QRect& rc)
{
    int left = INT_MAX;
    int right = -1;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if (img.pixel(x, y) == kText) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < 0 ? 0 : right - left + 1;
}

// The rows with a pixel of colour c: in column x, or in any column (x < 0).
inline QList<int> RowsOf(const QImage& img, QRgb c, int x = -1)
{
    QList<int> rows;
    for (int y = 0; y < img.height(); ++y)
        for (int i = std::max(x, 0); i <= (x < 0 ? img.width() - 1 : x); ++i)
            if (img.pixel(i, y) == c) {
                rows << y;
                break;
            }
    return rows;
}

}  // namespace viewtest
