// Crossfade of the frames before the loop end into the frames before the loop
// start, and the Find Loop + Crossfade sequence.
#include "analysis/SearchBankSize.h"
#include "document/QuorvelDoc.h"

#include <cmath>
#include <vector>

namespace {
constexpr double kPi = 3.141592653589793;
}

// Frames end − length … end − 1 of every channel become
// (1 − w)·E[j] + w·A[j], E the frames there and A the `length` frames before
// the loop start, with w rising along half a sine period from 0. Both source
// arrays are read before anything is written; frames outside the sample read
// as 0 and are not written.
void CQuorvelDoc::Crossfade(int length)
{
    if (m_nFrameCount <= 0 || length <= 0)
        return;
    const int start = m_nLoopStart;
    const int end = m_nLoopEnd;
    RecordFrameEdit(std::int64_t(end) - length, length);
    std::vector<double> a(static_cast<std::size_t>(length)), e(static_cast<std::size_t>(length));
    const int mid = length / 2;
    for (int c = 0; c < m_nChannels; ++c) {
        for (int j = 0; j < length; ++j) {
            a[std::size_t(j)] = GetSampleChecked(start - length + j, c);
            e[std::size_t(j)] = GetSampleChecked(end - length + j, c);
        }
        for (int j = 0; j < length; ++j) {
            const double w = (std::sin((kPi / length) * double(j - mid)) + 1.0) * 0.5;
            SetSampleChecked(end - length + j, c, (1.0 - w) * e[std::size_t(j)] + w * a[std::size_t(j)]);
        }
    }
}

int CQuorvelDoc::CrossfadeLengthForLoop() const
{
    const long long n = SearchBankSize(m_nBankSize, m_nSampleRate);
    const long long loop = (long long)m_nLoopEnd - m_nLoopStart;
    if (loop > 32 * n)
        return int(8 * n);
    return int(loop / 4);
}

void CQuorvelDoc::FindLoopCrossfade()
{
    Reload();
    FindLoop();
    if (m_bHasLoop)
        Crossfade(CrossfadeLengthForLoop());
}
