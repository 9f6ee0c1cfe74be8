// Spectral banks of the document and the two loop-suitability curves
// derived from them.
#include "analysis/BankSize.h"
#include "analysis/ComputeFFTSession.h"
#include "document/QuorvelDoc.h"
#include "framework/Exceptions.h"

#include <cmath>
#include <vector>

namespace {

// |z| of every bin of one bank of every channel, channel after channel. The
// magnitude is computed exactly as SpectrumLevel and SpectrumDistance do, so
// sums over these values equal theirs bit for bit.
void BankMagnitudes(const CQuorvelDoc& doc, int bank, double* out)
{
    const int half = doc.m_nBankSize / 2;
    for (int c = 0; c < doc.m_nChannels; ++c) {
        const double* p = reinterpret_cast<const double*>(doc.BankSpectrum(bank, c));
        double* o = out + std::size_t(c) * std::size_t(half);
        for (int k = 0; k < half; ++k)
            o[k] = std::sqrt(p[2 * k] * p[2 * k] + p[2 * k + 1] * p[2 * k + 1]);
    }
}

// BankDistance from magnitudes; a null bank stands for silence outside the
// table.
double MagnitudeDistance(const double* a, const double* b, int channels, int half)
{
    double sum = 0.0;
    for (int c = 0; c < channels; ++c) {
        const double* pa = a ? a + std::size_t(c) * std::size_t(half) : nullptr;
        const double* pb = b ? b + std::size_t(c) * std::size_t(half) : nullptr;
        double s = 0.0;
        if (pa && pb) {
            for (int k = 0; k < half; ++k)
                s += std::fabs(pa[k] - pb[k]);
        } else if (pa || pb) {
            const double* p = pa ? pa : pb;
            for (int k = 0; k < half; ++k)
                s += p[k];
        } else {
            continue;
        }
        sum += s / double(half);
    }
    return channels > 0 ? sum / double(channels) : 0.0;
}

}  // namespace

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
    double s = 0.0;
    for (int k = 0; k < half; ++k)
        s += std::sqrt(d[2 * k] * d[2 * k] + d[2 * k + 1] * d[2 * k + 1]);
    return s / double(half);
}

double CQuorvelDoc::SpectrumDistance(const Complex* p, const Complex* q) const
{
    const int half = m_nBankSize / 2;
    const double* a = reinterpret_cast<const double*>(p);
    const double* b = reinterpret_cast<const double*>(q);
    double s = 0.0;
    for (int k = 0; k < half; ++k) {
        const double ma = std::sqrt(a[2 * k] * a[2 * k] + a[2 * k + 1] * a[2 * k + 1]);
        const double mb = std::sqrt(b[2 * k] * b[2 * k] + b[2 * k + 1] * b[2 * k + 1]);
        s += std::fabs(ma - mb);
    }
    return s / double(half);
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
// both neighbours (silence beyond either end). Each bank's magnitudes are
// computed once and reused for both neighbours.
void CQuorvelDoc::ComputeBeginLoopCurve()
{
    const int banks = m_nBankCount;
    if (banks <= 0 || m_nChannels <= 0)
        return;
    const int half = m_nBankSize / 2;
    const std::size_t size = std::size_t(half) * std::size_t(m_nChannels);
    std::vector<double> cur(size), next(size);
    BankMagnitudes(*this, 0, cur.data());
    double prev = 1000.0 * MagnitudeDistance(nullptr, cur.data(), m_nChannels, half);
    for (int i = 0; i < banks; ++i) {
        const bool bNext = i + 1 < banks;
        if (bNext)
            BankMagnitudes(*this, i + 1, next.data());
        const double d = 1000.0 * MagnitudeDistance(cur.data(), bNext ? next.data() : nullptr, m_nChannels, half);
        SetCurve(i, 0, 0.5 / (d + prev + 0.5));
        prev = d;
        cur.swap(next);
    }
}

// Column 1: how closely each bank from the loop start's bank on matches that
// bank; −1 where there is no value. A loop start before frame 0 (a file's
// loop is kept as stored) values the banks from 0 on against silence.
void CQuorvelDoc::ComputeEndLoopCurve()
{
    const int banks = m_nBankCount;
    for (int i = 0; i < banks; ++i)
        SetCurve(i, 1, -1.0);
    if (!m_bHasLoop || banks <= 0 || m_nChannels <= 0 || m_nBankSize <= 0)
        return;
    const int a = m_nLoopStart / m_nBankSize;
    const int from = a < 0 ? 0 : a;
    if (from >= banks)
        return;
    const int half = m_nBankSize / 2;
    const std::size_t size = std::size_t(half) * std::size_t(m_nChannels);
    std::vector<double> ref(size), mags(size);
    const bool bRef = a >= 0;
    if (bRef)
        BankMagnitudes(*this, a, ref.data());
    const double* pRef = bRef ? ref.data() : nullptr;
    BankMagnitudes(*this, from, mags.data());
    double dCur = MagnitudeDistance(pRef, mags.data(), m_nChannels, half);
    for (int i = from; i < banks; ++i) {
        const bool bNext = i + 1 < banks;
        if (bNext)
            BankMagnitudes(*this, i + 1, mags.data());
        const double dNext = MagnitudeDistance(pRef, bNext ? mags.data() : nullptr, m_nChannels, half);
        SetCurve(i, 1, 0.5 / ((dCur + dNext) * 1000.0 + 0.5));
        dCur = dNext;
    }
}

void CQuorvelDoc::ComputeBanks()
{
    AllocateBanks();
    {
        CComputeFFTSession session(*this);
        const bool bDone = GetUserInterface().RunProgress(session);
        if (!bDone || session.WasCancelled()) {
            session.Cancel();
            throw CArchiveException(CArchiveException::generic, {}, "computing the spectra was cancelled");
        }
        session.Finish();
    }
    ComputeBeginLoopCurve();
    ComputeEndLoopCurve();
}
