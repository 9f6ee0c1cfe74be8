#include "view/WaveSummary.h"

#include "document/QuorvelDoc.h"

#include <algorithm>
#include <limits>

void CWaveSummary::Build(const CQuorvelDoc& doc, double scale)
{
    m_bValid = false;
    const int frames = std::max(0, doc.m_nFrameCount);
    const int channels = std::max(0, doc.m_nChannels);
    if (std::int64_t(frames) * channels > std::int64_t(doc.m_pSamples.size()))
        return;  // inconsistent document: stay invalid, drawing reads frames
    const double* p = doc.m_pSamples.data();

    // Level 0 from the frames, each further level from the one below.
    std::int64_t blockSize = kFanOut;
    for (int level = 0; level < kLevels; ++level, blockSize *= kFanOut) {
        const std::int64_t blocks = (std::int64_t(frames) + blockSize - 1) / blockSize;
        std::vector<std::int32_t>& out = m_levels[std::size_t(level)];
        out.assign(std::size_t(blocks * channels * 2), 0);
        for (std::int64_t b = 0; b < blocks; ++b) {
            for (int c = 0; c < channels; ++c) {
                std::int32_t mn = std::numeric_limits<std::int32_t>::max();
                std::int32_t mx = std::numeric_limits<std::int32_t>::min();
                if (level == 0) {
                    const std::int64_t last = std::min<std::int64_t>((b + 1) * kFanOut, frames);
                    for (std::int64_t f = b * kFanOut; f < last; ++f) {
                        const std::int32_t v = CQuorvelDoc::ScaleSample(p[f * channels + c], scale);
                        mn = std::min(mn, v);
                        mx = std::max(mx, v);
                    }
                } else {
                    const std::vector<std::int32_t>& below = m_levels[std::size_t(level - 1)];
                    const std::int64_t belowBlocks = std::int64_t(below.size()) / (2 * std::max(1, channels));
                    const std::int64_t last = std::min<std::int64_t>((b + 1) * kFanOut, belowBlocks);
                    for (std::int64_t k = b * kFanOut; k < last; ++k) {
                        mn = std::min(mn, below[std::size_t((k * channels + c) * 2)]);
                        mx = std::max(mx, below[std::size_t((k * channels + c) * 2 + 1)]);
                    }
                }
                out[std::size_t((b * channels + c) * 2)] = mn;
                out[std::size_t((b * channels + c) * 2 + 1)] = mx;
            }
        }
    }
    m_pData = p;
    m_nSize = std::int64_t(doc.m_pSamples.size());
    m_nFrames = frames;
    m_nChannels = channels;
    m_dScale = scale;
    m_bValid = true;
}

void CWaveSummary::Invalidate()
{
    m_bValid = false;
}

bool CWaveSummary::IsValidFor(const CQuorvelDoc& doc, double scale) const
{
    return m_bValid && m_pData == doc.m_pSamples.data() && m_nSize == std::int64_t(doc.m_pSamples.size()) &&
           m_nFrames == doc.m_nFrameCount && m_nChannels == doc.m_nChannels && m_dScale == scale;
}

void CWaveSummary::RangeMinMax(int channel, int first, int last, int& nMin, int& nMax) const
{
    const int channels = m_nChannels;
    const std::int64_t frames = m_nFrames;
    std::int32_t mn = std::numeric_limits<std::int32_t>::max();
    std::int32_t mx = std::numeric_limits<std::int32_t>::min();

    // Level −1 is the frames themselves; block sizes grow by kFanOut.
    std::int64_t sizes[kLevels + 1];
    sizes[0] = 1;
    for (int i = 1; i <= kLevels; ++i)
        sizes[i] = sizes[i - 1] * kFanOut;
    auto blockEnd = [&](int level, std::int64_t f) { return std::min(f + sizes[level + 1], frames); };
    auto take = [&](int level, std::int64_t f) {
        if (level < 0) {
            const std::int32_t v = CQuorvelDoc::ScaleSample(m_pData[f * channels + channel], m_dScale);
            mn = std::min(mn, v);
            mx = std::max(mx, v);
            return;
        }
        const std::vector<std::int32_t>& blocks = m_levels[std::size_t(level)];
        const std::size_t at = std::size_t(((f / sizes[level + 1]) * channels + channel) * 2);
        mn = std::min(mn, blocks[at]);
        mx = std::max(mx, blocks[at + 1]);
    };

    std::int64_t f = first;
    // Up: small steps until aligned to the next larger block ...
    for (int level = -1; level < kLevels - 1; ++level) {
        while (f < last && f % sizes[level + 2] != 0 && blockEnd(level, f) <= last) {
            take(level, f);
            f = blockEnd(level, f);
        }
    }
    // ... down: the largest blocks that still fit.
    for (int level = kLevels - 1; level >= -1; --level) {
        while (f < last && blockEnd(level, f) <= last) {
            take(level, f);
            f = blockEnd(level, f);
        }
    }
    nMin = mn;
    nMax = mx;
}
