#include "analysis/Fft.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

constexpr long double kPi = 3.141592653589793;
// Above this size the twiddles are read from the sine table directly.
constexpr int kMaxTwiddleListSize = 1 << 16;

bool IsValidSize(int n)
{
    return n >= 4 && (n & (n - 1)) == 0;
}

}  // namespace

void FftContext::BuildTable(int n)
{
    m_table.resize(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        // Product and quotient in extended precision, stored as double.
        const long double x = (static_cast<long double>(i) * kPi) * 2.0L / static_cast<long double>(n);
        m_table[std::size_t(i)] = static_cast<double>(std::sin(x));
    }
    m_buffers.assign(std::size_t(n) * 2, Complex(0.0, 0.0));
    // Per-level twiddle lists for both directions, read from the table the
    // way the combine step looks them up (only for moderate sizes).
    for (int d = 0; d < 2; ++d) {
        m_twiddles[d].clear();
        if (n > kMaxTwiddleListSize)
            continue;
        const int sign = d == 0 ? -1 : +1;
        m_twiddles[d].reserve(std::size_t(n - 1) * 4);
        for (int s = n / 2; s >= 1; s /= 2) {
            const int half = n / (2 * s);
            for (int part = 0; part < 2; ++part) {
                for (int q = 0; q < half; ++q) {
                    const int k = (q * s + part * (n / 2)) * sign;
                    m_twiddles[d].push_back(m_table[std::size_t((k + n / 4) & (n - 1))]);
                    m_twiddles[d].push_back(m_table[std::size_t(k & (n - 1))]);
                }
            }
        }
    }
    m_pWork = m_buffers.data();
    m_pScratch = m_buffers.data() + n;
    m_nTableSize = n;
}

void FftContext::FftSetup(int n)
{
    if (!IsValidSize(n))
        throw std::logic_error("FFT size must be a power of two of at least 4");
    if (m_nSize != 0)
        throw std::logic_error("FFT set up twice without release");
    if (n != m_nTableSize)
        BuildTable(n);
    m_nSize = n;
}

void FftContext::FftRelease()
{
    if (m_nSize == 0)
        throw std::logic_error("FFT released without set-up");
    m_nSize = 0;
}

void FftContext::FftAnalyze(const double* samples, Complex* bins)
{
    if (m_nSize == 0)
        throw std::logic_error("FFT used without set-up");
    const int n = m_nSize;
    double* w = reinterpret_cast<double*>(m_pWork);
    for (int i = 0; i < n; ++i) {
        w[2 * i] = samples[i];
        w[2 * i + 1] = 0.0;
    }
    m_nSign = -1;
    FftTransform(0, 1);
    const Complex* out = m_pWork;
    const double dc = double(n);
    const double ac = double(n / 2);
    bins[0] = Complex(out[0].real() / dc, out[0].imag() / dc);
    for (int k = 1; k < n / 2; ++k)
        bins[k] = Complex(out[k].real() / ac, out[k].imag() / ac);
}

void FftContext::FftSynthesize(const Complex* bins, double* samples)
{
    if (m_nSize == 0)
        throw std::logic_error("FFT used without set-up");
    const int n = m_nSize;
    for (int k = 0; k < n / 2; ++k)
        m_pWork[k] = bins[k];
    for (int k = n / 2; k < n; ++k)
        m_pWork[k] = Complex(0.0, 0.0);
    m_nSign = +1;
    FftTransform(0, 1);
    const double* w = reinterpret_cast<const double*>(m_pWork);
    for (int m = 0; m < n; ++m)
        samples[m] = w[2 * m];
}

// One level of the stride recursion for every offset at once. The combine
// step of stride s reads the even half's output q at 2qs + t and the odd
// half's at 2qs + s + t (t the offset, 0 ≤ t < s) and writes outputs q and
// q + L/2 (L = N/s) at qs + t and qs + t + N/2. Running the offsets in the
// inner loop keeps one twiddle pair per q and makes every access contiguous;
// writing into the other buffer replaces the copy-back of each combine.
// Each output is (E.re + c·O.re − s·O.im, E.im + s·O.re + c·O.im) with the
// operations in that order (no fused multiply-add), so the result equals the
// recursive formulation bit for bit whichever variant runs.
namespace {

struct CLevel {
    const double* table;
    int mask;     // N − 1
    int quarter;  // N / 4
    int n;
    int sign;
    double Sine(int k) const { return table[k & mask]; }
    double Cosine(int k) const { return table[(k + quarter) & mask]; }
};

void CombineLevelPlain(const CLevel& lv, const double* src, double* dst, int s)
{
    const int n = lv.n;
    const int half = n / (2 * s);
    for (int q = 0; q < half; ++q) {
        const int k1 = q * s * lv.sign;
        const int k2 = (q * s + n / 2) * lv.sign;
        const double c1 = lv.Cosine(k1), s1 = lv.Sine(k1);
        const double c2 = lv.Cosine(k2), s2 = lv.Sine(k2);
        const double* e = src + 2 * (2 * q * s);
        const double* o = e + 2 * s;
        double* d1 = dst + 2 * (q * s);
        double* d2 = d1 + n;
#if defined(__SSE2__)
        const __m128d w1a = _mm_set_pd(s1, c1);   // (c1, s1)
        const __m128d w1b = _mm_set_pd(c1, -s1);  // (−s1, c1)
        const __m128d w2a = _mm_set_pd(s2, c2);
        const __m128d w2b = _mm_set_pd(c2, -s2);
        for (int t = 0; t < s; ++t) {
            const __m128d ev = _mm_loadu_pd(e + 2 * t);
            const __m128d ov = _mm_loadu_pd(o + 2 * t);
            const __m128d ore = _mm_unpacklo_pd(ov, ov);
            const __m128d oim = _mm_unpackhi_pd(ov, ov);
            _mm_storeu_pd(d1 + 2 * t, _mm_add_pd(_mm_add_pd(ev, _mm_mul_pd(w1a, ore)), _mm_mul_pd(w1b, oim)));
            _mm_storeu_pd(d2 + 2 * t, _mm_add_pd(_mm_add_pd(ev, _mm_mul_pd(w2a, ore)), _mm_mul_pd(w2b, oim)));
        }
#else
        for (int t = 0; t < s; ++t) {
            const double er = e[2 * t], ei = e[2 * t + 1];
            const double orr = o[2 * t], oi = o[2 * t + 1];
            d1[2 * t] = er + c1 * orr - s1 * oi;
            d1[2 * t + 1] = ei + s1 * orr + c1 * oi;
            d2[2 * t] = er + c2 * orr - s2 * oi;
            d2[2 * t + 1] = ei + s2 * orr + c2 * oi;
        }
#endif
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define RINGSEAM_FFT_AVX 1
// Twiddles come ready from the per-level list (tw: (c1, s1) for every q, then
// (c2, s2) for every q). Two offsets per step for s ≥ 2; for the last level
// (s = 1) two outputs q, each with its own twiddles, per step.
__attribute__((target("avx"))) void CombineLevelAvx(int n, const double* tw, const double* src, double* dst, int s)
{
    const int half = n / (2 * s);
    const double* tw2 = tw + 2 * half;
    const __m256d negRe = _mm256_set_pd(0.0, -0.0, 0.0, -0.0);
    if (s == 1) {
        for (int q = 0; q < half; q += 2) {
            // (E_q, O_q) and (E_q+1, O_q+1) sit next to each other.
            const __m256d p0 = _mm256_loadu_pd(src + 4 * q);
            const __m256d p1 = _mm256_loadu_pd(src + 4 * q + 4);
            const __m256d ev = _mm256_permute2f128_pd(p0, p1, 0x20);
            const __m256d ov = _mm256_permute2f128_pd(p0, p1, 0x31);
            const __m256d ore = _mm256_movedup_pd(ov);
            const __m256d oim = _mm256_permute_pd(ov, 0xF);
            const __m256d w1a = _mm256_loadu_pd(tw + 2 * q);                           // (c, s) of q, q+1
            const __m256d w1b = _mm256_xor_pd(_mm256_permute_pd(w1a, 0x5), negRe);  // (−s, c)
            const __m256d w2a = _mm256_loadu_pd(tw2 + 2 * q);
            const __m256d w2b = _mm256_xor_pd(_mm256_permute_pd(w2a, 0x5), negRe);
            _mm256_storeu_pd(dst + 2 * q, _mm256_add_pd(_mm256_add_pd(ev, _mm256_mul_pd(w1a, ore)), _mm256_mul_pd(w1b, oim)));
            _mm256_storeu_pd(dst + 2 * q + n, _mm256_add_pd(_mm256_add_pd(ev, _mm256_mul_pd(w2a, ore)), _mm256_mul_pd(w2b, oim)));
        }
        return;
    }
    for (int q = 0; q < half; ++q) {
        const double* e = src + 2 * (2 * q * s);
        const double* o = e + 2 * s;
        double* d1 = dst + 2 * (q * s);
        double* d2 = d1 + n;
        const __m256d w1a = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(tw + 2 * q));
        const __m256d w1b = _mm256_xor_pd(_mm256_permute_pd(w1a, 0x5), negRe);
        const __m256d w2a = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(tw2 + 2 * q));
        const __m256d w2b = _mm256_xor_pd(_mm256_permute_pd(w2a, 0x5), negRe);
        for (int t = 0; t < s; t += 2) {
            const __m256d ev = _mm256_loadu_pd(e + 2 * t);
            const __m256d ov = _mm256_loadu_pd(o + 2 * t);
            const __m256d ore = _mm256_movedup_pd(ov);
            const __m256d oim = _mm256_permute_pd(ov, 0xF);
            _mm256_storeu_pd(d1 + 2 * t, _mm256_add_pd(_mm256_add_pd(ev, _mm256_mul_pd(w1a, ore)), _mm256_mul_pd(w1b, oim)));
            _mm256_storeu_pd(d2 + 2 * t, _mm256_add_pd(_mm256_add_pd(ev, _mm256_mul_pd(w2a, ore)), _mm256_mul_pd(w2b, oim)));
        }
    }
}

bool s_bAllowWide = true;

bool HasAvx()
{
    static const bool bAvx = __builtin_cpu_supports("avx");
    return bAvx && s_bAllowWide;
}
#endif

}  // namespace

void FftContext::AllowWideVectors(bool bAllow)
{
#if defined(RINGSEAM_FFT_AVX)
    s_bAllowWide = bAllow;
#else
    (void)bAllow;
#endif
}

void FftContext::CombineLevel(const double* src, double* dst, int s) const
{
    const CLevel lv{m_table.data(), m_nTableSize - 1, m_nTableSize / 4, m_nSize, m_nSign};
#if defined(RINGSEAM_FFT_AVX)
    if (!m_twiddles[0].empty() && HasAvx()) {
        // Levels are stored from s = N/2 down; level s starts after the
        // (N/(2s') − 1)·4 values of the levels before it, i.e. at 4·(N/(2s) − 1).
        const double* tw = m_twiddles[m_nSign > 0 ? 1 : 0].data() + 4 * (std::size_t(m_nSize) / (2 * std::size_t(s)) - 1);
        CombineLevelAvx(m_nSize, tw, src, dst, s);
        return;
    }
#endif
    CombineLevelPlain(lv, src, dst, s);
}

void FftContext::FftTransform(int offset, int stride)
{
    if (m_nSize == 0)
        throw std::logic_error("FFT used without set-up");
    const int n = m_nSize;
    if (offset + stride >= n)
        return;
    if (offset == 0 && stride == 1) {
        double* src = reinterpret_cast<double*>(m_pWork);
        double* dst = reinterpret_cast<double*>(m_pScratch);
        for (int s = n / 2; s >= 1; s /= 2) {
            CombineLevel(src, dst, s);
            std::swap(src, dst);
        }
        m_pWork = reinterpret_cast<Complex*>(src);
        m_pScratch = reinterpret_cast<Complex*>(dst);
        return;
    }
    // A part of the array (only reached by callers that transform a
    // subsequence directly): the recursion as it is defined.
    FftTransform(offset, 2 * stride);
    FftTransform(offset + stride, 2 * stride);
    int e = offset;
    for (int h = offset; h < n; h += stride) {
        const int k = (h - offset) * m_nSign;
        const double c = CosineAt(k), s = SineAt(k);
        const Complex E = m_pWork[e], O = m_pWork[e + stride];
        m_pScratch[h] = Complex(E.real() + c * O.real() - s * O.imag(), E.imag() + s * O.real() + c * O.imag());
        e += 2 * stride;
        if (e >= n)
            e = offset;
    }
    for (int h = offset; h < n; h += stride)
        m_pWork[h] = m_pScratch[h];
}
