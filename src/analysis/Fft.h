// FftContext: a power-of-two fast Fourier transform with an analysis wrapper
// (N real samples → N/2 amplitude-scaled bins) and a synthesis wrapper (N/2
// bins → N real samples).
//
// Calling order: FftSetup(N), any number of FftAnalyze / FftSynthesize of
// that size, FftRelease(). A context belongs to one user (the document that
// owns it) and is used by one thread at a time; it has no lock. Two documents
// on two threads each use their own context.
//
// Every twiddle factor is a masked lookup in a sine table built at set-up; no
// trigonometric function runs inside a transform and a transform allocates
// nothing. The table, the work and the scratch arrays are kept between a
// release and the next set-up of the same size, so per-block set-up/release
// brackets cost nothing beyond the first.
//
// Failure: a size that is not a power of two ≥ 4, or a call out of order,
// throws std::logic_error (a programming error, never caused by file data).
#pragma once

#include <complex>
#include <vector>

using Complex = std::complex<double>;

class FftContext {
public:
    FftContext() = default;
    FftContext(const FftContext&) = delete;
    FftContext& operator=(const FftContext&) = delete;

    // Makes the context usable for size n (a power of two, 4 or more). The
    // sine table is rebuilt only when n differs from the size last set up.
    void FftSetup(int n);
    // Ends the bracket opened by FftSetup. The table and arrays stay cached
    // for the next FftSetup of the same size; the destructor frees them.
    void FftRelease();
    bool IsSetUp() const { return m_nSize != 0; }
    int GetSize() const { return m_nSize; }

    // samples: N values; bins: N/2 values. bins[0] is the mean, bins[k] for
    // 0 < k < N/2 the amplitude (a cosine of amplitude A gives (A, 0), a sine
    // (0, −A)). The Nyquist bin is not returned.
    void FftAnalyze(const double* samples, Complex* bins);
    // bins: N/2 values; samples: N values. Inverse of FftAnalyze except for
    // the dropped Nyquist component; no scaling.
    void FftSynthesize(const Complex* bins, double* samples);

    // sin(2πk/N) from the table, k taken modulo N (negative k included).
    double SineAt(int k) const { return m_table[std::size_t(k & (m_nTableSize - 1))]; }
    // cos(2πk/N), as SineAt(k + N/4).
    double CosineAt(int k) const { return SineAt(k + m_nTableSize / 4); }

    // Transforms in place, with the direction of the last wrapper call, the
    // subsequence of the work array that starts at `offset` and steps by
    // `stride` (0 ≤ offset < stride, stride a power of two): position
    // offset + q·stride receives X[q] = Σ x[offset + m·stride]·e^(i·sign·2πqm/L),
    // L = N/stride, in natural order.
    void FftTransform(int offset, int stride);

    // The work array (N values) holding the input and, after FftTransform,
    // the output; lets a caller run the raw transform.
    Complex* GetWork() { return m_pWork; }
    void SetSign(int sign) { m_nSign = sign; }

    // Whether the transform may use 256-bit vector instructions where the
    // processor has them (default true). Both paths give identical results;
    // tests and benchmarks switch to compare them. Not thread-safe.
    static void AllowWideVectors(bool bAllow);

private:
    void BuildTable(int n);
    // One combine pass of the whole array at stride s (all offsets below s).
    void CombineLevel(const double* src, double* dst, int s) const;

    int m_nSize = 0;       // N while set up, 0 otherwise
    int m_nTableSize = 0;  // size of the cached table and arrays
    int m_nSign = -1;      // −1 analysis, +1 synthesis
    std::vector<double> m_table;    // sin((i·π)·2/N), i = 0 … N−1
    std::vector<double> m_twiddles[2]; // per-level (cos, sin) lists for sign −1 and +1
    std::vector<Complex> m_buffers; // work and scratch, N values each
    Complex* m_pWork = nullptr;     // where the transform's data lives
    Complex* m_pScratch = nullptr;  // the other buffer
};
