// Renders what the waveform view shows of a document after it was first
// shown in a client area `width` pixels wide: the scale fitted to the width
// (never above one pixel per frame), scrolled to the start, no play cursor,
// the waveform at gain `amplitude` (kFitAmplitude: fitted to the peak, as
// Fit Amplitude does). The image is `width` × the content height
// (Format_RGB32); the loop markers are those of the document as it is.
//
// Needs a QGuiApplication (labels use its default font). A width below 1 is
// taken as 1.
#pragma once

#include <QImage>

class CQuorvelDoc;

inline constexpr double kFitAmplitude = 0.0;

QImage RenderViewImage(const CQuorvelDoc& doc, int width, double amplitude = 1.0);
