// The best-loop search: settle the loop start on a zero crossing near the end
// of its bank, then pick among one bank length of candidate ends the one whose
// following frames best match the frames after the loop start.
#include "analysis/SearchBankSize.h"
#include "document/QuorvelDoc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr double kInitialBestScore = 10.0;

int Sign(double v)
{
    return (v > 0.0) - (v < 0.0);
}

int ClampToInt(std::int64_t v)
{
    return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace

void CQuorvelDoc::FindLoop()
{
    // Without channels there is no channel 0 to find a zero crossing on.
    if (m_nFrameCount <= 0 || m_nChannels <= 0)
        return;
    const int n = SearchBankSize(m_nBankSize, m_nSampleRate);
    EnsureLoop();

    // Last frame of the start's bank; first frame of the end's bank.
    m_nLoopStart = ClampToInt((std::int64_t(m_nLoopStart) / n + 1) * n - 1);
    m_nLoopEnd = ClampToInt(std::int64_t(m_nLoopEnd) / n * n);
    NormalizeLoop();

    // Back to a frame that is zero or follows a change of sign (channel 0).
    int start = m_nLoopStart;
    while (start > 0) {
        const double v = GetSampleChecked(start, 0);
        const double u = GetSampleChecked(start - 1, 0);
        if (v == 0.0 || Sign(u) != Sign(v))
            break;
        --start;
    }
    m_nLoopStart = start;
    NormalizeLoop();
    start = m_nLoopStart;

    int end = m_nLoopEnd;
    if (end - start < n / 8)
        end = std::min(start + n / 8, m_nFrameCount);

    // Candidate ends end … end + n − 1, none past the last frame.
    const int count = int(std::min<std::int64_t>(n, std::int64_t(m_nFrameCount) - end + 1));
    if (count <= 0) {
        end = m_nFrameCount;
    } else {
        double best = kInitialBestScore;
        int offset = 0;
        for (int i = 0; i < count; ++i) {
            const double s = LoopScore(start, end + i, best);
            if (s < best) {
                best = s;
                offset = i;
            }
        }
        end += offset;
    }
    m_nLoopStart = start;
    m_nLoopEnd = end;
}

// Sum over channels and j of |x(start + j) − x(candidate + j)| · N / (N/10 + j),
// divided by N at the end; frames outside the sample count as 0. Once the
// running sum reaches N × limit the full score cannot be below the limit
// (every term is non-negative), so N × limit + 1 is returned at once.
// The terms of a block are computed ahead (independent divisions) and added
// one by one in order, so the sum is exactly that of the plain loop.
double CQuorvelDoc::LoopScore(int start, int candidate, double limit) const
{
    const int n = SearchBankSize(m_nBankSize, m_nSampleRate);
    const double dn = double(n);
    const int w0 = n / 10;
    const double bound = dn * limit;
    const int channels = m_nChannels;
    const bool bInside = start >= 0 && candidate >= 0 && std::int64_t(start) + n <= m_nFrameCount &&
                         std::int64_t(candidate) + n <= m_nFrameCount;
    constexpr int kBlock = 64;
    double terms[kBlock];
    double S = 0.0;
    for (int c = 0; c < channels; ++c) {
        for (int j0 = 0; j0 < n; j0 += kBlock) {
            const int len = std::min(kBlock, n - j0);
            if (bInside) {
                const double* x = m_pSamples.data() + (std::size_t(start) + std::size_t(j0)) * std::size_t(channels) + std::size_t(c);
                const double* y = m_pSamples.data() + (std::size_t(candidate) + std::size_t(j0)) * std::size_t(channels) + std::size_t(c);
                for (int k = 0; k < len; ++k) {
                    const double d = std::fabs(x[std::size_t(k) * std::size_t(channels)] - y[std::size_t(k) * std::size_t(channels)]);
                    terms[k] = dn * d / double(w0 + j0 + k);
                }
            } else {
                for (int k = 0; k < len; ++k) {
                    const double d = std::fabs(GetSampleChecked(start + j0 + k, c) - GetSampleChecked(candidate + j0 + k, c));
                    terms[k] = dn * d / double(w0 + j0 + k);
                }
            }
            for (int k = 0; k < len; ++k) {
                S = S + terms[k];
                if (S >= bound)
                    return bound + 1.0;
            }
        }
    }
    return S / dn;
}

double CQuorvelDoc::SeamScore(int start, int end) const
{
    if (m_nBankSize <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    // Far above any real score, so the early exit never fires; small enough
    // that bank size × limit stays finite.
    constexpr double kNoLimit = 1e300;
    return LoopScore(start, end, kNoLimit);
}
