#include "analysis/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// The transform as defined: a recursion on strides with a scratch copy-back
// after every combine, twiddles from a table of sin((i·π)·2/N).
class CReferenceFft {
public:
    explicit CReferenceFft(int n) : m_n(n), m_table(static_cast<std::size_t>(n)), m_work(static_cast<std::size_t>(n)), m_scratch(static_cast<std::size_t>(n))
    {
        for (int i = 0; i < n; ++i)
            m_table[std::size_t(i)] = double(std::sin((static_cast<long double>(i) * static_cast<long double>(kPi)) * 2.0L / n));
    }
    double Sine(int k) const { return m_table[std::size_t(k & (m_n - 1))]; }
    double Cosine(int k) const { return Sine(k + m_n / 4); }
    void Transform(int a, int b)
    {
        if (a + b >= m_n)
            return;
        Transform(a, 2 * b);
        Transform(a + b, 2 * b);
        int e = a;
        for (int h = a; h < m_n; h += b) {
            const int k = (h - a) * m_sign;
            const double c = Cosine(k), s = Sine(k);
            const Complex E = m_work[std::size_t(e)], O = m_work[std::size_t(e + b)];
            m_scratch[std::size_t(h)] = Complex(E.real() + c * O.real() - s * O.imag(), E.imag() + s * O.real() + c * O.imag());
            e += 2 * b;
            if (e >= m_n)
                e = a;
        }
        for (int h = a; h < m_n; h += b)
            m_work[std::size_t(h)] = m_scratch[std::size_t(h)];
    }
    int m_n;
    int m_sign = -1;
    std::vector<double> m_table;
    std::vector<Complex> m_work, m_scratch;
};

std::vector<double> RandomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x)
        v = u(rng);
    return x;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Fft, RawTransformOfOneTwoThreeFour)
{
    FftContext fft;
    fft.FftSetup(4);
    Complex* w = fft.GetWork();
    for (int i = 0; i < 4; ++i)
        w[i] = Complex(i + 1, 0);
    fft.SetSign(-1);
    fft.FftTransform(0, 1);
    w = fft.GetWork();
    const Complex expected[4] = {{10, 0}, {-2, 2}, {-2, 0}, {-2, -2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(w[i].real(), expected[i].real(), 1e-12) << i;
        EXPECT_NEAR(w[i].imag(), expected[i].imag(), 1e-12) << i;
    }
    fft.FftRelease();
}

TEST(Fft, CosineAndSineAtBinThreeOfSixteen)
{
    FftContext fft;
    fft.FftSetup(16);
    std::vector<double> c(16), s(16);
    for (int m = 0; m < 16; ++m) {
        c[std::size_t(m)] = std::cos(2 * kPi * 3 * m / 16);
        s[std::size_t(m)] = std::sin(2 * kPi * 3 * m / 16);
    }
    std::vector<Complex> bc(8), bs(8);
    fft.FftAnalyze(c.data(), bc.data());
    fft.FftAnalyze(s.data(), bs.data());
    fft.FftRelease();
    for (int k = 0; k < 8; ++k) {
        const Complex ec = k == 3 ? Complex(1, 0) : Complex(0, 0);
        const Complex es = k == 3 ? Complex(0, -1) : Complex(0, 0);
        EXPECT_NEAR(std::abs(bc[std::size_t(k)] - ec), 0.0, 1e-12) << k;
        EXPECT_NEAR(std::abs(bs[std::size_t(k)] - es), 0.0, 1e-12) << k;
    }
}

TEST(Fft, ConstantInputHasOnlyTheMean)
{
    FftContext fft;
    for (int n : {4, 64, 1024}) {
        fft.FftSetup(n);
        std::vector<double> x(std::size_t(n), -0.375);
        std::vector<Complex> bins(static_cast<std::size_t>(n / 2));
        fft.FftAnalyze(x.data(), bins.data());
        fft.FftRelease();
        EXPECT_NEAR(bins[0].real(), -0.375, 1e-15);
        EXPECT_NEAR(bins[0].imag(), 0.0, 1e-15);
        for (int k = 1; k < n / 2; ++k)
            EXPECT_NEAR(std::abs(bins[std::size_t(k)]), 0.0, 1e-14) << n << " bin " << k;
    }
}

// Synthesis of the analysis gives the signal back without its Nyquist part.
TEST(Fft, RoundTripLosesOnlyTheNyquistComponent)
{
    FftContext fft;
    for (int n : {4, 16, 256, 2048}) {
        const auto x = RandomSignal(n, unsigned(n));
        long double nyq = 0;
        for (int m = 0; m < n; ++m)
            nyq += (m % 2 ? -1.0L : 1.0L) * x[std::size_t(m)];
        std::vector<Complex> bins(static_cast<std::size_t>(n / 2));
        std::vector<double> y(static_cast<std::size_t>(n));
        fft.FftSetup(n);
        fft.FftAnalyze(x.data(), bins.data());
        fft.FftSynthesize(bins.data(), y.data());
        fft.FftRelease();
        for (int m = 0; m < n; ++m) {
            const double expected = x[std::size_t(m)] - double(nyq / n) * (m % 2 ? -1.0 : 1.0);
            EXPECT_NEAR(y[std::size_t(m)], expected, 1e-13) << n << " at " << m;
        }
    }
}

// Against a direct sum in extended precision: bins and resynthesised samples
// within 1e-12 of the largest value.
TEST(Fft, MatchesNaiveTransformAtSeveralSizes)
{
    FftContext fft;
    for (int n : {4, 8, 32, 128, 512, 1024, 4096}) {
        const auto x = RandomSignal(n, 11u + unsigned(n));
        std::vector<Complex> bins(static_cast<std::size_t>(n / 2));
        std::vector<double> y(static_cast<std::size_t>(n));
        fft.FftSetup(n);
        fft.FftAnalyze(x.data(), bins.data());
        fft.FftSynthesize(bins.data(), y.data());
        fft.FftRelease();

        // cos and sin of 2πj/n in extended precision.
        std::vector<long double> cosT(static_cast<std::size_t>(n)), sinT(static_cast<std::size_t>(n));
        for (int j = 0; j < n; ++j) {
            const long double ang = 2.0L * 3.14159265358979323846264338327950288L * j / n;
            cosT[std::size_t(j)] = std::cos(ang);
            sinT[std::size_t(j)] = std::sin(ang);
        }
        std::vector<std::complex<long double>> ref(static_cast<std::size_t>(n / 2));
        long double maxRef = 0;
        for (int k = 0; k < n / 2; ++k) {
            std::complex<long double> sum = 0;
            for (int m = 0; m < n; ++m) {
                const std::size_t j = std::size_t((long long)k * m % n);
                sum += static_cast<long double>(x[std::size_t(m)]) * std::complex<long double>(cosT[j], -sinT[j]);
            }
            ref[std::size_t(k)] = sum / static_cast<long double>(k == 0 ? n : n / 2);
            maxRef = std::max(maxRef, std::abs(ref[std::size_t(k)]));
        }
        for (int k = 0; k < n / 2; ++k) {
            const long double err = std::abs(std::complex<long double>(bins[std::size_t(k)].real(), bins[std::size_t(k)].imag()) - ref[std::size_t(k)]);
            EXPECT_LE(double(err / maxRef), 1e-12) << n << " bin " << k;
        }

        long double maxY = 0;
        std::vector<long double> yRef(static_cast<std::size_t>(n));
        for (int m = 0; m < n; ++m) {
            long double sum = 0;
            for (int k = 0; k < n / 2; ++k) {
                const std::size_t j = std::size_t((long long)k * m % n);
                sum += static_cast<long double>(bins[std::size_t(k)].real()) * cosT[j] -
                       static_cast<long double>(bins[std::size_t(k)].imag()) * sinT[j];
            }
            yRef[std::size_t(m)] = sum;
            maxY = std::max(maxY, std::fabs(sum));
        }
        for (int m = 0; m < n; ++m)
            EXPECT_LE(double(std::fabs(y[std::size_t(m)] - yRef[std::size_t(m)]) / maxY), 1e-12) << n << " sample " << m;
    }
}

// The fast formulation performs the defined operations in the defined order:
// the outputs equal the recursive definition bit for bit, both directions.
class FftPathTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { FftContext::AllowWideVectors(GetParam()); }
    void TearDown() override { FftContext::AllowWideVectors(true); }
};

TEST_P(FftPathTest, EqualsRecursiveDefinitionExactly)
{
    FftContext fft;
    for (int n : {4, 8, 16, 64, 1024, 8192, 1 << 17}) {
        for (int sign : {-1, +1}) {
            const auto re = RandomSignal(n, 3u * unsigned(n));
            const auto im = RandomSignal(n, 5u * unsigned(n));
            CReferenceFft ref(n);
            ref.m_sign = sign;
            fft.FftSetup(n);
            fft.SetSign(sign);
            for (int i = 0; i < n; ++i) {
                ref.m_work[std::size_t(i)] = Complex(re[std::size_t(i)], im[std::size_t(i)]);
                fft.GetWork()[i] = ref.m_work[std::size_t(i)];
            }
            ref.Transform(0, 1);
            fft.FftTransform(0, 1);
            const Complex* w = fft.GetWork();
            int mismatches = 0;
            for (int i = 0; i < n; ++i)
                mismatches += !(SameBits(w[i].real(), ref.m_work[std::size_t(i)].real()) &&
                                SameBits(w[i].imag(), ref.m_work[std::size_t(i)].imag()));
            EXPECT_EQ(mismatches, 0) << "N " << n << " sign " << sign;
            fft.FftRelease();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WideAndNarrowVectors, FftPathTest, ::testing::Bool());

TEST(Fft, SubsequenceTransformFollowsTheDefinition)
{
    const int n = 32;
    const auto re = RandomSignal(n, 99);
    CReferenceFft ref(n);
    FftContext fft;
    fft.FftSetup(n);
    fft.SetSign(-1);
    for (int i = 0; i < n; ++i) {
        ref.m_work[std::size_t(i)] = Complex(re[std::size_t(i)], 0);
        fft.GetWork()[i] = ref.m_work[std::size_t(i)];
    }
    ref.Transform(3, 4);
    fft.FftTransform(3, 4);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(fft.GetWork()[i], ref.m_work[std::size_t(i)]) << i;
    fft.FftRelease();
}

TEST(Fft, TableLookupsWrapModuloN)
{
    FftContext fft;
    fft.FftSetup(16);
    EXPECT_EQ(fft.SineAt(0), 0.0);
    EXPECT_EQ(fft.SineAt(4), 1.0);
    EXPECT_EQ(fft.SineAt(-4), fft.SineAt(12));
    EXPECT_EQ(fft.SineAt(-1), fft.SineAt(15));
    EXPECT_EQ(fft.SineAt(16 + 3), fft.SineAt(3));
    EXPECT_EQ(fft.CosineAt(0), 1.0);
    EXPECT_EQ(fft.CosineAt(-3), fft.SineAt(1));
    EXPECT_EQ(fft.SineAt(3), double(std::sin((3.0L * static_cast<long double>(kPi)) * 2.0L / 16.0L)));
    fft.FftRelease();
}

TEST(Fft, CallOrderAndSizeAreEnforced)
{
    FftContext fft;
    std::vector<double> x(8);
    std::vector<Complex> bins(4);
    EXPECT_THROW(fft.FftAnalyze(x.data(), bins.data()), std::logic_error);
    EXPECT_THROW(fft.FftRelease(), std::logic_error);
    EXPECT_THROW(fft.FftSetup(2), std::logic_error);
    EXPECT_THROW(fft.FftSetup(12), std::logic_error);
    fft.FftSetup(8);
    EXPECT_THROW(fft.FftSetup(8), std::logic_error);
    fft.FftRelease();
    EXPECT_FALSE(fft.IsSetUp());
}

// A size change between brackets rebuilds the table; the same size reuses it
// and gives identical results.
TEST(Fft, ResizingBetweenBracketsKeepsResultsRight)
{
    FftContext fft;
    const auto x = RandomSignal(64, 1);
    std::vector<Complex> a(32), b(32), c(8);
    fft.FftSetup(64);
    fft.FftAnalyze(x.data(), a.data());
    fft.FftRelease();
    fft.FftSetup(16);
    fft.FftAnalyze(x.data(), c.data());
    fft.FftRelease();
    fft.FftSetup(64);
    fft.FftAnalyze(x.data(), b.data());
    fft.FftRelease();
    EXPECT_EQ(a, b);
    FftContext fresh;
    std::vector<Complex> d(8);
    fresh.FftSetup(16);
    fresh.FftAnalyze(x.data(), d.data());
    fresh.FftRelease();
    EXPECT_EQ(c, d);
}

// Contexts are independent: two threads, each with its own, at once.
TEST(Fft, TwoContextsOnTwoThreads)
{
    const auto x = RandomSignal(1024, 5);
    std::vector<Complex> expected(512);
    {
        FftContext fft;
        fft.FftSetup(1024);
        fft.FftAnalyze(x.data(), expected.data());
        fft.FftRelease();
    }
    auto work = [&](int n, bool& ok) {
        FftContext fft;
        std::vector<Complex> bins(512);
        ok = true;
        for (int i = 0; i < 300; ++i) {
            fft.FftSetup(n);
            fft.FftAnalyze(x.data(), bins.data());
            fft.FftRelease();
            if (n == 1024 && bins != expected)
                ok = false;
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(work, 1024, std::ref(ok1));
    std::thread t2(work, 256, std::ref(ok2));
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

}  // namespace
