// CViewGeometry: the widget-free geometry of the waveform view — the scale
// between frames and pixels, the content and scroll sizes, the client size,
// the scroll position and the zoom commands. The Qt view keeps one and mirrors
// its scroll state into the scroll bars; tests drive it without a window.
//
// Units: frames for sample positions, pixels for everything else, and a
// plain factor for the amplitude gain of the waveform trace. Every
// conversion of a double to an integer truncates toward zero (saturating at
// the int32 limits instead of overflowing).
//
// Threading: user-interface thread only. The document is not owned and may be
// null (then nothing is loaded).
#pragma once

#include <cstdint>

class CQuorvelDoc;

struct ViewSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const ViewSize&, const ViewSize&) = default;
};

struct ViewPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ViewPoint&, const ViewPoint&) = default;
};

// double → int, toward zero, clamped to the int32 range (NaN gives 0).
int TruncToInt(double value);

class CViewGeometry {
public:
    static constexpr double kZoomInFactor = 1.3;
    static constexpr double kZoomOutFactor = 0.7692307692307692;  // nearest double to 1 / 1.3
    // Zoom Loop leaves this share of the client width free on each side
    // (1 / 50, about 2 %), at least kMinLoopMargin pixels, so that both
    // markers stand inside the window instead of on its edges.
    static constexpr int kLoopMarginDivisor = 50;
    static constexpr int kMinLoopMargin = 2;  // pixels
    // Each amplitude zoom step doubles or halves the gain (6 dB); the gain
    // stays between 1 (full scale fills the lane) and kMaxAmplitude (60 dB).
    static constexpr double kAmplitudeStep = 2.0;
    static constexpr double kMaxAmplitude = 1024.0;
    // Content of a view without a sample, in pixels.
    static constexpr int kEmptyContentWidth = 800;

    explicit CViewGeometry(const CQuorvelDoc* pDoc = nullptr) : m_pDoc(pDoc) {}

    void SetDocument(const CQuorvelDoc* pDoc) { m_pDoc = pDoc; }
    const CQuorvelDoc* GetDocument() const { return m_pDoc; }

    // --- quantities derived from the document --------------------------------
    int GetChannelCount() const;     // Ch
    int GetFrameCount() const;       // F
    int GetStripCount() const;       // R, the number of curve strips
    int GetWaveBandHeight() const;   // Hw = 2 × h × Ch, pixels
    // Centre line of channel lane c, content y.
    int GetLaneCentre(int channel) const { return (2 * channel + 1) * m_nLaneHalfHeight; }
    // Loaded: (F frames, R × S + Hw pixels); otherwise (800, 2 × (S + h)).
    ViewSize GetContentSize() const;

    // --- frame ↔ pixel ---------------------------------------------------------
    int FrameToX(int frame) const { return TruncToInt(frame * m_dZoom); }
    int XToFrame(int x) const { return TruncToInt(x / m_dZoom); }
    // trunc(content width in frames × zoom): the width the scroll range covers.
    int GetScrollWidth() const { return TruncToInt(GetContentSize().cx * m_dZoom); }

    // --- client area and scrolling --------------------------------------------
    // Size of the client area in pixels. Keeps the scroll position inside the
    // (unchanged) scroll sizes.
    void SetClientSize(int width, int height);
    int GetClientWidth() const { return m_nClientWidth; }
    int GetClientHeight() const { return m_nClientHeight; }
    // The total size the scroll range was last set to (pixels).
    ViewSize GetTotalSize() const { return m_sizeTotal; }
    ViewPoint GetScrollPosition() const { return m_ptScroll; }
    // Largest scroll position on each axis (0 when the content fits).
    ViewPoint GetScrollLimit() const;
    // Scrolls to `pt`, limited to 0 … GetScrollLimit().
    void ScrollToPosition(ViewPoint pt);
    // Sets the scroll sizes directly (pixels) and re-limits the position.
    void SetScrollSizes(ViewSize total);

    // --- scale -------------------------------------------------------------------
    // Clamps the zoom between the fit-to-width scale and 1.0 (1.0 without
    // frames) and sets the scroll sizes to (scroll width, content height).
    void UpdateScrollSizes();
    // Sets the scale keeping the frame under the middle of the client area in
    // the middle, as far as the scroll range allows.
    void SetZoom(double zoom);
    void ZoomIn() { SetZoom(m_dZoom * kZoomInFactor); }
    void ZoomOut() { SetZoom(m_dZoom * kZoomOutFactor); }
    void ZoomOneToOne() { SetZoom(1.0); }
    void ZoomAll();
    // Scales the loop to the client width less a margin on each side
    // (GetLoopMargin), its start that margin from the left edge, as far as
    // the scroll range allows. Returns false (and changes nothing) without a
    // loop or with an empty one.
    bool ZoomLoop();
    // The margin Zoom Loop leaves on each side, pixels: 0 when the client
    // area is too narrow to spare it.
    int GetLoopMargin() const;
    // Sets the scale (limited as UpdateScrollSizes does) keeping the frame
    // under client x `clientX` under it, as far as the scroll range allows.
    void ZoomAroundClientX(double zoom, int clientX);
    // The first-show scale: content width over client width when the content
    // is wider, else 1.0. Does not update the scroll sizes.
    void FitZoomToClient();

    // --- amplitude ---------------------------------------------------------------
    // Pixels per full scale of the waveform trace: (h − 1) × m_dAmplitude.
    double GetWaveScale() const { return (m_nLaneHalfHeight - 1) * m_dAmplitude; }
    // Whether traces are clipped to their lane (only once amplified, so the
    // unamplified view draws every value as it always has).
    bool IsAmplified() const { return m_dAmplitude > 1.0; }
    // Sets the gain, limited to 1 … kMaxAmplitude (1 for NaN).
    void SetAmplitude(double gain);
    void AmplitudeIn() { SetAmplitude(m_dAmplitude * kAmplitudeStep); }
    void AmplitudeOut() { SetAmplitude(m_dAmplitude / kAmplitudeStep); }
    // The gain at which the largest sample magnitude of any channel reaches
    // the lane's edge (the row full scale reaches at gain 1), limited like
    // SetAmplitude; 1 for silence or without frames.
    void FitAmplitude();

    // --- members of the view ---------------------------------------------------
    double m_dZoom = 1.0;              // pixels per frame
    double m_dAmplitude = 1.0;         // gain of the waveform trace
    std::int32_t m_nLaneHalfHeight = 64;  // pixels
    std::int32_t m_nStripHeight = 128;    // pixels

private:
    const CQuorvelDoc* m_pDoc;
    int m_nClientWidth = 0;
    int m_nClientHeight = 0;
    // Pixels the scroll range reaches past the last frame: Zoom Loop's
    // margin when the loop ends there (so that its end marker shows), else 0.
    int m_nEndRoom = 0;
    ViewSize m_sizeTotal;
    ViewPoint m_ptScroll;
};
