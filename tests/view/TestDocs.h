// Documents for the view tests, filled field by field (no file I/O).
#pragma once

#include "document/QuorvelDoc.h"

#include <functional>

// A loaded document of `frames` frames whose sample (frame, channel) is
// value(f, c). With curves, the 44.1 kHz banks of 1024 frames get zero
// spectra (so the end-loop curve can be recomputed) and both curves the
// value curve(bank, column).
inline void FillDoc(CQuorvelDoc& doc, int channels, int frames, const std::function<double(int, int)>& value,
                    const std::function<double(int, int)>& curve = nullptr)
{
    doc.m_nChannels = channels;
    doc.m_nFrameCount = frames;
    doc.m_nSampleRate = 44100;
    doc.m_pSamples.assign(std::size_t(frames) * std::size_t(channels), 0.0);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            doc.SetSample(f, c, value(f, c));
    doc.m_bLoaded = true;
    if (curve) {
        doc.m_nBankSize = 1024;
        doc.m_nBankCount = frames / 1024;
        doc.m_pBankSpectra.assign(std::size_t(doc.m_nBankCount) * 512 * std::size_t(channels), Complex{});
        doc.m_nCurveColumns = 2;
        doc.m_pLoopCurves.assign(std::size_t(doc.m_nBankCount) * 2, 0.0);
        for (int b = 0; b < doc.m_nBankCount; ++b)
            for (int r = 0; r < 2; ++r)
                doc.SetCurve(b, r, curve(b, r));
    }
}
