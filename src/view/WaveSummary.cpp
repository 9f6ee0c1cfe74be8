#include "view/WaveSummary.h"

#include "document/QuorvelDoc.h"

#include <algorithm>
#include <limits>

void CWaveSummary::Build(const CQuorvelDoc& doc, int scale)
{
    m_bValid = false;
    const int frames = std::max(0, doc.m_nFrameCount);
    const int channels = std::max(0, doc.m_nChannels);
    if (std::int64_t(frames) * channels > std::int64_t(doc.m_pSamples.size()))
        return;  // inconsistent document: stay invalid, drawing reads frames
    const std::int64_t blocks1 = (std::int64_t(frames) + kBlock1 - 1) / kBlock1;
    const std::int64_t blocks2 = (std::int64_t(frames) + kBlock2 - 1) / kBlock2;
    m_level1.assign(std::size_t(blocks1 * channels * 2), 0);
    m_level2.assign(std::size_t(blocks2 * channels * 2), 0);

    const double* p = doc.m_pSamples.data();
    for (std::int64_t b = 0; b < blocks1; ++b) {
        const std::int64_t first = b * kBlock1;
        const std::int64_t last = std::min<std::int64_t>(first + kBlock1, frames);
        for (int c = 0; c < channels; ++c) {
            std::int32_t mn = std::numeric_limits<std::int32_t>::max();
            std::int32_t mx = std::numeric_limits<std::int32_t>::min();
            for (std::int64_t f = first; f < last; ++f) {
                const std::int32_t v = CQuorvelDoc::ScaleSample(p[f * channels + c], scale);
                mn = std::min(mn, v);
                mx = std::max(mx, v);
            }
            m_level1[std::size_t((b * channels + c) * 2)] = mn;
            m_level1[std::size_t((b * channels + c) * 2 + 1)] = mx;
        }
    }
    for (std::int64_t b = 0; b < blocks2; ++b) {
        const std::int64_t first = b * (kBlock2 / kBlock1);
        const std::int64_t last = std::min<std::int64_t>(first + kBlock2 / kBlock1, blocks1);
        for (int c = 0; c < channels; ++c) {
            std::int32_t mn = std::numeric_limits<std::int32_t>::max();
            std::int32_t mx = std::numeric_limits<std::int32_t>::min();
            for (std::int64_t k = first; k < last; ++k) {
                mn = std::min(mn, m_level1[std::size_t((k * channels + c) * 2)]);
                mx = std::max(mx, m_level1[std::size_t((k * channels + c) * 2 + 1)]);
            }
            m_level2[std::size_t((b * channels + c) * 2)] = mn;
            m_level2[std::size_t((b * channels + c) * 2 + 1)] = mx;
        }
    }
    m_pData = p;
    m_nSize = std::int64_t(doc.m_pSamples.size());
    m_nFrames = frames;
    m_nChannels = channels;
    m_nScale = scale;
    m_bValid = true;
}

void CWaveSummary::Invalidate()
{
    m_bValid = false;
}

bool CWaveSummary::IsValidFor(const CQuorvelDoc& doc, int scale) const
{
    return m_bValid && m_pData == doc.m_pSamples.data() && m_nSize == std::int64_t(doc.m_pSamples.size()) &&
           m_nFrames == doc.m_nFrameCount && m_nChannels == doc.m_nChannels && m_nScale == scale;
}

void CWaveSummary::RangeMinMax(int channel, int first, int last, int& nMin,
                               int& nMax) const
{
    const int channels = m_nChannels;
    const double* p = m_pData;
    std::int32_t mn = std::numeric_limits<std::int32_t>::max();
    std::int32_t mx = std::numeric_limits<std::int32_t>::min();
    auto frame = [&](int f) {
        const std::int32_t v = CQuorvelDoc::ScaleSample(p[std::int64_t(f) * channels + channel], m_nScale);
        mn = std::min(mn, v);
        mx = std::max(mx, v);
    };
    auto block1 = [&](int b) {
        mn = std::min(mn, m_level1[std::size_t((std::int64_t(b) * channels + channel) * 2)]);
        mx = std::max(mx, m_level1[std::size_t((std::int64_t(b) * channels + channel) * 2 + 1)]);
    };
    auto block2 = [&](int b) {
        mn = std::min(mn, m_level2[std::size_t((std::int64_t(b) * channels + channel) * 2)]);
        mx = std::max(mx, m_level2[std::size_t((std::int64_t(b) * channels + channel) * 2 + 1)]);
    };

    const int frames = m_nFrames;
    auto end1 = [&](int f) { return std::min(f + kBlock1, frames); };
    auto end2 = [&](int f) { return std::min(f + kBlock2, frames); };
    int f = first;
    if (last - first < 2 * kBlock1) {
        while (f < last)
            frame(f++);
    } else {
        // Single frames up to a first-level boundary, first-level blocks up to
        // a second-level boundary, then the largest whole blocks that fit.
        while (f < last && f % kBlock1 != 0)
            frame(f++);
        while (f < last && f % kBlock2 != 0 && end1(f) <= last) {
            block1(f / kBlock1);
            f = end1(f);
        }
        while (f < last && f % kBlock2 == 0 && end2(f) <= last) {
            block2(f / kBlock2);
            f = end2(f);
        }
        while (f < last && end1(f) <= last) {
            block1(f / kBlock1);
            f = end1(f);
        }
        while (f < last)
            frame(f++);
    }
    nMin = mn;
    nMax = mx;
}
