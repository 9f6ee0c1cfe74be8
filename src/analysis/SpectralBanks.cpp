// Spectral banks of the document and the two loop-suitability curves
// derived from them.
#include "analysis/BankSize.h"
#include "analysis/ComputeFFTSession.h"
#include "analysis/LoopCurves.h"
#include "document/QuorvelDoc.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Sums over the bins use eight running sums (bin k goes to sum k mod 8),
// combined in a fixed order at the end. Every level and distance, whether
// from a spectrum or from magnitudes computed ahead, adds the same values in
// the same order, so all of them agree bit for bit; the independent sums
// also let the additions overlap.
struct CLanes {
    double a[8] = {};
    double Total() const { return ((a[0] + a[4]) + (a[1] + a[5])) + ((a[2] + a[6]) + (a[3] + a[7])); }
};

// count is a multiple of 8 (N/2 with N ≥ 16 a power of two, or a chunk).
void AddValues(CLanes& l, const double* v, int count)
{
    for (int k = 0; k < count; k += 8)
        for (int j = 0; j < 8; ++j)
            l.a[j] += v[k + j];
}

void AddAbsDiffs(CLanes& l, const double* x, const double* y, int count)
{
    for (int k = 0; k < count; k += 8)
        for (int j = 0; j < 8; ++j)
            l.a[j] += std::fabs(x[k + j] - y[k + j]);
}

// |z| = √(re² + im²) of `count` interleaved complex values (correctly
// rounded square roots, so the paired form equals the scalar one).
void Magnitudes(const double* p, int count, double* out)
{
    int k = 0;
#if defined(__SSE2__)
    for (; k + 2 <= count; k += 2) {
        const __m128d z0 = _mm_loadu_pd(p + 2 * k);
        const __m128d z1 = _mm_loadu_pd(p + 2 * k + 2);
        const __m128d q0 = _mm_mul_pd(z0, z0);
        const __m128d q1 = _mm_mul_pd(z1, z1);
        _mm_storeu_pd(out + k, _mm_sqrt_pd(_mm_add_pd(_mm_unpacklo_pd(q0, q1), _mm_unpackhi_pd(q0, q1))));
    }
#endif
    for (; k < count; ++k)
        out[k] = std::sqrt(p[2 * k] * p[2 * k] + p[2 * k + 1] * p[2 * k + 1]);
}

constexpr int kChunk = 256;

// Magnitudes of one bank of every channel, channel after channel.
void BankMagnitudes(const CQuorvelDoc& doc, int bank, double* out)
{
    const int half = doc.m_nBankSize / 2;
    for (int c = 0; c < doc.m_nChannels; ++c)
        Magnitudes(reinterpret_cast<const double*>(doc.BankSpectrum(bank, c)), half,
                   out + std::size_t(c) * std::size_t(half));
}

// BankDistance from magnitudes; a null bank stands for silence outside the
// table.
double MagnitudeDistance(const double* a, const double* b, int channels, int half)
{
    double sum = 0.0;
    for (int c = 0; c < channels; ++c) {
        const double* pa = a ? a + std::size_t(c) * std::size_t(half) : nullptr;
        const double* pb = b ? b + std::size_t(c) * std::size_t(half) : nullptr;
        CLanes l;
        if (pa && pb)
            AddAbsDiffs(l, pa, pb, half);
        else if (pa || pb)
            AddValues(l, pa ? pa : pb, half);
        else
            continue;
        sum += l.Total() / double(half);
    }
    return channels > 0 ? sum / double(channels) : 0.0;
}

// Both curves in one pass over the banks, each bank's magnitudes computed
// once: column 0 from each bank's distance to its neighbours, column 1 from
// the distances to the loop start's bank.
void ComputeCurves(CQuorvelDoc& doc, bool bBegin, bool bEnd)
{
    const int banks = doc.m_nBankCount;
    const int channels = doc.m_nChannels;
    if (bEnd) {
        for (int i = 0; i < banks; ++i)
            doc.SetCurve(i, 1, -1.0);
        bEnd = doc.m_bHasLoop;
    }
    if (banks <= 0 || channels <= 0 || doc.m_nBankSize <= 0 || (!bBegin && !bEnd))
        return;
    const int n = doc.m_nBankSize;
    const int half = n / 2;
    // A loop start kept from a file may lie before frame 0: the banks from 0
    // on are then valued against silence.
    const int a = doc.m_nLoopStart / n;
    const int from = bEnd ? (a < 0 ? 0 : a) : banks;
    const int first = bBegin ? 0 : from;
    if (first >= banks)
        return;

    const std::size_t size = std::size_t(half) * std::size_t(channels);
    std::vector<double> cur(size), next(size), ref;
    const double* pRef = nullptr;
    if (bEnd && a >= 0 && a < banks) {
        ref.resize(size);
        BankMagnitudes(doc, a, ref.data());
        pRef = ref.data();
    }
    BankMagnitudes(doc, first, cur.data());
    double prev = bBegin ? 1000.0 * MagnitudeDistance(nullptr, cur.data(), channels, half) : 0.0;
    double dEnd = 0.0;
    for (int i = first; i < banks; ++i) {
        const bool bNext = i + 1 < banks;
        if (bNext)
            BankMagnitudes(doc, i + 1, next.data());
        const double* pNext = bNext ? next.data() : nullptr;
        if (bBegin) {
            const double d = 1000.0 * MagnitudeDistance(cur.data(), pNext, channels, half);
            doc.SetCurve(i, 0, 0.5 / (d + prev + 0.5));
            prev = d;
        }
        if (bEnd && i >= from) {
            if (i == from)
                dEnd = MagnitudeDistance(pRef, cur.data(), channels, half);
            const double dNext = MagnitudeDistance(pRef, pNext, channels, half);
            doc.SetCurve(i, 1, 0.5 / ((dEnd + dNext) * 1000.0 + 0.5));
            dEnd = dNext;
        }
        cur.swap(next);
    }
}

}  // namespace

void ComputeLoopCurves(CQuorvelDoc& doc)
{
    ComputeCurves(doc, true, true);
}

void CQuorvelDoc::AllocateBanks()
{
    m_nBankSize = BankSizeForSampleRate(m_nSampleRate);
    m_nBankCount = m_nFrameCount > 0 ? m_nFrameCount / m_nBankSize : 0;
    const std::size_t channels = m_nChannels > 0 ? std::size_t(m_nChannels) : 0;
    m_pBankSpectra.assign(std::size_t(m_nBankSize) * std::size_t(m_nBankCount) / 2 * channels, Complex(0.0, 0.0));
    m_nCurveColumns = 2;
    m_pLoopCurves.assign(std::size_t(m_nBankCount) * 2, 0.0);
}

void CQuorvelDoc::ComputeBank(int bank, int channel)
{
    const int n = m_nBankSize;
    std::vector<double> block(static_cast<std::size_t>(n));
    const int first = bank * n;
    for (int i = 0; i < n; ++i)
        block[std::size_t(i)] = GetSample(first + i, channel);
    m_fft.FftSetup(n);
    m_fft.FftAnalyze(block.data(), BankSpectrum(bank, channel));
    m_fft.FftRelease();
}

Complex* CQuorvelDoc::BankSpectrum(int bank, int channel)
{
    return m_pBankSpectra.data() +
           (std::size_t(bank) * std::size_t(m_nChannels) + std::size_t(channel)) * std::size_t(m_nBankSize / 2);
}

const Complex* CQuorvelDoc::BankSpectrum(int bank, int channel) const
{
    return m_pBankSpectra.data() +
           (std::size_t(bank) * std::size_t(m_nChannels) + std::size_t(channel)) * std::size_t(m_nBankSize / 2);
}

double CQuorvelDoc::SpectrumLevel(const Complex* p) const
{
    const int half = m_nBankSize / 2;
    const double* d = reinterpret_cast<const double*>(p);
    double m[kChunk];
    CLanes l;
    for (int k = 0; k < half; k += kChunk) {
        const int len = std::min(kChunk, half - k);
        Magnitudes(d + 2 * k, len, m);
        AddValues(l, m, len);
    }
    return l.Total() / double(half);
}

double CQuorvelDoc::SpectrumDistance(const Complex* p, const Complex* q) const
{
    const int half = m_nBankSize / 2;
    const double* a = reinterpret_cast<const double*>(p);
    const double* b = reinterpret_cast<const double*>(q);
    double ma[kChunk], mb[kChunk];
    CLanes l;
    for (int k = 0; k < half; k += kChunk) {
        const int len = std::min(kChunk, half - k);
        Magnitudes(a + 2 * k, len, ma);
        Magnitudes(b + 2 * k, len, mb);
        AddAbsDiffs(l, ma, mb, len);
    }
    return l.Total() / double(half);
}

double CQuorvelDoc::BankDistance(int i, int j) const
{
    const bool bI = i >= 0 && i < m_nBankCount;
    const bool bJ = j >= 0 && j < m_nBankCount;
    double sum = 0.0;
    for (int c = 0; c < m_nChannels; ++c) {
        if (bI && bJ)
            sum += SpectrumDistance(BankSpectrum(i, c), BankSpectrum(j, c));
        else if (bI)
            sum += SpectrumLevel(BankSpectrum(i, c));
        else if (bJ)
            sum += SpectrumLevel(BankSpectrum(j, c));
    }
    return m_nChannels > 0 ? sum / double(m_nChannels) : 0.0;
}

// Column 0: how steady the sound is around each bank, from its distance to
// both neighbours (silence beyond either end).
void CQuorvelDoc::ComputeBeginLoopCurve()
{
    ComputeCurves(*this, true, false);
}

// Column 1: how closely each bank from the loop start's bank on matches that
// bank; −1 where there is no value.
void CQuorvelDoc::ComputeEndLoopCurve()
{
    ComputeCurves(*this, false, true);
}

void CQuorvelDoc::ComputeBanks()
{
    AllocateBanks();
    {
        CComputeFFTSession session(*this);
        const bool bDone = GetUserInterface().RunProgress(session);
        if (!bDone || session.WasCancelled()) {
            session.Cancel();
            throw CUserException({}, "computing the spectra was cancelled");
        }
        session.Finish();
    }
    // Both curves in one pass: the same values as ComputeBeginLoopCurve then
    // ComputeEndLoopCurve, reading the spectra once.
    ComputeLoopCurves(*this);
}
