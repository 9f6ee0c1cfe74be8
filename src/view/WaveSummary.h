// CWaveSummary: exact minimum and maximum of the drawing-scaled samples
// (ScaleSample at the view's wave scale, 63 pixels per full scale unless
// amplified) over fixed blocks of frames, per channel,
// in four levels, so that the min/max of any frame range costs a few hundred
// reads however long it is. Built once from the document's frames; the
// waveform drawing uses it only while it matches them (IsValidFor) and falls
// back to reading frames otherwise.
//
// Whoever changes frames in place (reload, crossfade, filter) must call
// Invalidate: the check in IsValidFor only catches a different buffer,
// frame count or channel count.
//
// Memory: about 8 bytes × channels per 15 frames. Threading: UI thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class CQuorvelDoc;

class CWaveSummary {
public:
    static constexpr int kFanOut = 16;  // level 0 blocks of 16 frames, then 256, 4096, 65536
    static constexpr int kLevels = 4;

    // Scans every frame of every channel at `scale` (pixels per full scale).
    void Build(const CQuorvelDoc& doc, double scale);
    void Invalidate();
    bool IsValidFor(const CQuorvelDoc& doc, double scale) const;

    // Minimum and maximum of the scaled samples of frames first … last − 1 of
    // `channel`; requires 0 ≤ first < last ≤ frame count of the built document.
    void RangeMinMax(int channel, int first, int last, int& nMin, int& nMax) const;

private:
    bool m_bValid = false;
    const double* m_pData = nullptr;
    std::int64_t m_nSize = 0;
    int m_nFrames = 0;
    int m_nChannels = 0;
    double m_dScale = 0.0;
    // Per level, per block, per channel: min then max.
    std::array<std::vector<std::int32_t>, kLevels> m_levels;
};
