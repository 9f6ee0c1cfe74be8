// Paints the waveform view into a QImage (Format_RGB32): the GUI half of the
// view's drawing, shared by the widget's backing store, the offscreen
// renderer and the benchmark. Labels are drawn with the application's
// default font, without antialiasing, on an opaque background.
//
// Needs a QGuiApplication (for fonts). Threading: user-interface thread.
#pragma once

#include "view/WaveformDrawing.h"

#include <QImage>
#include <QRect>

class CQuorvelDoc;
class CViewGeometry;

// Erases rcClient (client pixels, clipped to the image) to the background and
// draws the view into it as seen at the geometry's scroll position.
void PaintViewImage(QImage& image, const QRect& rcClient, CWaveformDrawing& drawing, const CQuorvelDoc& doc,
                    const CViewGeometry& geometry, const PlayCursorState& cursor);
