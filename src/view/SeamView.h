// CSeamView: a small pane that shows the seam of the document's loop (see
// SeamDrawing.h): the frames before the loop end running on into the frames
// from the loop start, over the recording's own continuation after the loop
// end, for every channel. It shows `span` milliseconds each side of the seam
// (10 by default); the mouse wheel halves or doubles that (1 … 1000 ms).
//
// The document is not owned and must outlive the pane. The pane does not
// watch the document: whoever changes the loop or the frames calls Refresh
// (the shell connects it to the waveform view's loopOrFramesChanged).
//
// Threading: user-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

class CQuorvelDoc;

class CSeamView : public QWidget {
    Q_OBJECT
public:
    static constexpr double kDefaultSpanMs = 10.0;
    static constexpr double kMinSpanMs = 1.0;
    static constexpr double kMaxSpanMs = 1000.0;
    // Fewest frames shown each side, whatever the rate and span.
    static constexpr int kMinFramesPerSide = 8;

    explicit CSeamView(const CQuorvelDoc& doc, QWidget* pParent = nullptr);

    // Milliseconds shown each side of the seam, limited to kMinSpanMs … kMaxSpanMs.
    void SetSpanMs(double ms);
    double GetSpanMs() const { return m_dSpanMs; }
    // The span in frames at the document's sample rate.
    int GetFramesPerSide() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // The loop or the frames changed: paint again (on the next paint event).
    void Refresh();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    const CQuorvelDoc& m_doc;
    double m_dSpanMs = kDefaultSpanMs;
    QImage m_image;  // the picture at the widget's size, Format_RGB32
};
