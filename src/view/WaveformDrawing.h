// CWaveformDrawing: paints the waveform view onto a CPixelCanvas — the
// black background, one min/max trace per channel lane, the curve strips
// with their base lines, bank ticks and labels, the inverted loop-marker
// columns and the play cursor — within the canvas clip only. Text goes
// through IViewTextOutput so that this stays free of any toolkit.
//
// Pixels are exact: every frame↔pixel conversion truncates toward zero and
// lines exclude their end point. The waveform trace of a column covers the
// frames from the running frame index up to the column's right boundary
// (accumulated in double precision) and is at least one pixel high; a
// two-level min/max summary (CWaveSummary) gives the same columns as reading
// every frame, and is (re)built here on a large repaint when it does not
// match the document's frames. Samples are scaled by the geometry's wave
// scale (63 pixels per full scale at gain 1); an amplified trace is clipped
// to its lane.
//
// Threading: user-interface thread only.
#pragma once

#include "view/PixelCanvas.h"
#include "view/WaveSummary.h"

#include <cstdint>
#include <vector>

class CQuorvelDoc;
class CViewGeometry;

// Draws a label: `text` centred horizontally at the top of `rcDevice`,
// clipped to `rcDevice` and `rcClip` (device pixels), on an opaque
// background of colour `bk`.
class IViewTextOutput {
public:
    virtual ~IViewTextOutput() = default;
    virtual void DrawLabel(const PixelRect& rcDevice, const PixelRect& rcClip, const char* text,
                           std::uint32_t color, std::uint32_t bk) = 0;
};

// What playback contributes to the picture.
struct PlayCursorState {
    bool bPlaying = false;
    int nPlayPos = 0;  // frame
};

class CWaveformDrawing {
public:
    static constexpr std::uint32_t kBackground = 0xFF000000u;  // RGB(0, 0, 0)
    static constexpr std::uint32_t kWave = 0xFF00AA00u;        // RGB(0, 0xAA, 0)
    static constexpr std::uint32_t kPlayCursor = 0xFFFF0000u;  // RGB(0xFF, 0, 0)
    static constexpr std::uint32_t kGrid = 0xFF0000AAu;        // RGB(0, 0, 0xAA)
    static constexpr std::uint32_t kTextBk = 0xFF000000u;      // RGB(0, 0, 0)
    static constexpr std::uint32_t kText = 0xFFAA0000u;        // RGB(0xAA, 0, 0)
    static constexpr int kTickHeight = 5;                      // pixels
    // The loops after the first: dotted columns (every other pixel), so the
    // first loop's solid inverted markers stay the ones the commands use.
    static constexpr std::uint32_t kOtherLoop = 0xFF6080FFu;  // RGB(0x60, 0x80, 0xFF)
    // The release marker: a solid column.
    static constexpr std::uint32_t kRelease = 0xFFFFC000u;    // RGB(0xFF, 0xC0, 0)

    // Fills the canvas clip with the background colour.
    void EraseBackground(CPixelCanvas& canvas) const;
    // Draws everything that falls into the canvas clip; the canvas origin is
    // minus the scroll position. pText may be null (no labels).
    void Draw(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry,
              const PlayCursorState& cursor, IViewTextOutput* pText);

    // Frames changed in place: the summary must not be used until rebuilt.
    void InvalidateSummary() { m_summary.Invalidate(); }
    // Off: every column reads its frames (the reference behaviour).
    void SetUseSummary(bool bUse) { m_bUseSummary = bUse; }
    const CWaveSummary& GetSummary() const { return m_summary; }

private:
    void DrawWaveBand(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry);
    void DrawStrips(CPixelCanvas& canvas, const CQuorvelDoc& doc, const CViewGeometry& geometry,
                    IViewTextOutput* pText);
    // Pixel column of the centre of every bank at this scale (cached).
    const std::vector<int>& BankPositions(double zoom, int bankSize, int banks);
    void DrawLabel(CPixelCanvas& canvas, IViewTextOutput* pText, const PixelRect& rcLogical,
                   const char* text) const;

    CWaveSummary m_summary;
    bool m_bUseSummary = true;
    std::vector<int> m_bankX;
    double m_dBankXZoom = -1.0;
    int m_nBankXSize = -1;
};
