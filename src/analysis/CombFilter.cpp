// Spectral comb filter: every channel is rebuilt from 1024-frame blocks at a
// hop of 512 frames that keep only bins 1, 17, 33, 49, 65, 81 and 97, blended
// over their overlap with a raised-cosine weight.
#include "document/QuorvelDoc.h"

#include <algorithm>
#include <vector>

namespace {
constexpr int kBlock = 1024;
constexpr int kHop = kBlock / 2;

bool IsKeptBin(int n)
{
    return n > 0 && n < 100 && n % 16 == 1;
}
}  // namespace

void CQuorvelDoc::SpectralCombFilter()
{
    std::vector<Complex> analysed(kBlock / 2), kept(kBlock / 2);
    std::vector<double> block(kBlock), previous(kBlock);
    m_fft.FftSetup(kBlock);
    RecordFrameEdit(0, m_nFrameCount);
    for (int c = 0; c < m_nChannels; ++c) {
        std::fill(previous.begin(), previous.end(), 0.0);
        bool bFirst = true;
        // Each block is read from frames 512 further on than the ones the
        // previous block wrote, so it never sees filtered frames.
        for (long long offset = 0; offset < m_nFrameCount; offset += kHop) {
            const int o = int(offset);
            for (int j = 0; j < kBlock; ++j)
                block[std::size_t(j)] = GetSampleChecked(int(std::min<long long>(offset + j, m_nFrameCount)), c);
            m_fft.FftAnalyze(block.data(), analysed.data());
            for (int k = 0; k < kBlock / 2; ++k)
                kept[std::size_t(k)] = IsKeptBin(k) ? analysed[std::size_t(k)] : Complex(0.0, 0.0);
            m_fft.FftSynthesize(kept.data(), block.data());
            if (bFirst) {
                for (int j = 0; j < kHop; ++j)
                    SetSampleChecked(o + j, c, block[std::size_t(j)]);
                bFirst = false;
            } else {
                for (int j = 0; j < kHop; ++j) {
                    const double w = (m_fft.SineAt(j - kBlock / 4) + 1.0) * 0.5;
                    SetSampleChecked(o + j, c, (1.0 - w) * previous[std::size_t(kHop + j)] + w * block[std::size_t(j)]);
                }
            }
            previous = block;
        }
    }
    m_fft.FftRelease();
}
