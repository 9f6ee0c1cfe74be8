// Repaints of the waveform view of a 10-minute 44.1 kHz stereo sample into an
// offscreen image of 1600 × 512 pixels: the whole view at the fit-to-width
// scale, and single columns (marker or cursor repaints) at the fit scale and
// at one pixel per frame. "Summary" uses the min/max summary the view builds
// once per load; "Direct" reads every frame of every column. Before timing,
// the two are checked to give identical pixels.
#include "document/QuorvelDoc.h"
#include "view/ViewGeometry.h"
#include "view/ViewImagePainter.h"
#include "view/WaveformDrawing.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kFrames = 10 * 60 * 44100;
constexpr int kWidth = 1600;

CQuorvelDoc& LongDoc()
{
    static std::unique_ptr<CQuorvelDoc> pDoc = [] {
        auto doc = std::make_unique<CQuorvelDoc>();
        doc->m_nChannels = 2;
        doc->m_nFrameCount = kFrames;
        doc->m_pSamples.resize(std::size_t(kFrames) * 2);
        std::uint32_t seed = 12345;
        for (int f = 0; f < kFrames; ++f) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (double(seed >> 8) / double(1 << 24) - 0.5) * 0.2;
            const double env = 0.8 * std::exp(-f / double(kFrames) * 3.0);
            doc->m_pSamples[std::size_t(f) * 2] = env * std::sin(f * 0.0627) + noise;
            doc->m_pSamples[std::size_t(f) * 2 + 1] = env * std::sin(f * 0.0311) - noise;
        }
        doc->m_bLoaded = true;
        doc->m_nBankSize = 1024;
        doc->m_nBankCount = kFrames / 1024;
        doc->m_nCurveColumns = 2;
        doc->m_pLoopCurves.resize(std::size_t(doc->m_nBankCount) * 2);
        for (int b = 0; b < doc->m_nBankCount; ++b) {
            doc->SetCurve(b, 0, 0.5 + 0.4 * std::sin(b * 0.01));
            doc->SetCurve(b, 1, b < 1000 ? -1.0 : 0.5 + 0.4 * std::cos(b * 0.013));
        }
        doc->m_bHasLoop = true;
        doc->m_nLoopStart = 441000;
        doc->m_nLoopEnd = 20000000;
        return doc;
    }();
    return *pDoc;
}

CViewGeometry MakeGeometry(double zoom, int scroll)
{
    CViewGeometry geometry(&LongDoc());
    geometry.SetClientSize(kWidth, geometry.GetContentSize().cy);
    if (zoom <= 0) {
        geometry.FitZoomToClient();
        geometry.UpdateScrollSizes();
    } else {
        geometry.SetZoom(zoom);
        geometry.ScrollToPosition({scroll, 0});
    }
    return geometry;
}

QImage NewImage()
{
    QImage image(kWidth, CViewGeometry(&LongDoc()).GetContentSize().cy, QImage::Format_RGB32);
    image.fill(0);
    return image;
}

// range(0): 1 = summary, 0 = every frame; range(1): 0 = fit scale, 1 = 1.0.
void Setup(benchmark::State& state, CWaveformDrawing& drawing, CViewGeometry& geometry, QImage& image)
{
    const bool bSummary = state.range(0) != 0;
    drawing.SetUseSummary(bSummary);
    geometry = state.range(1) == 0 ? MakeGeometry(0, 0) : MakeGeometry(1.0, kFrames / 2);
    image = NewImage();
    if (bSummary) {
        CViewGeometry fit = MakeGeometry(0, 0);
        PaintViewImage(image, image.rect(), drawing, LongDoc(), fit, {});  // builds the summary
    }
}

void BM_FullRepaint(benchmark::State& state)
{
    CWaveformDrawing drawing;
    CViewGeometry geometry;
    QImage image;
    Setup(state, drawing, geometry, image);
    for (auto _ : state) {
        PaintViewImage(image, image.rect(), drawing, LongDoc(), geometry, {});
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ColumnRepaint(benchmark::State& state)
{
    CWaveformDrawing drawing;
    CViewGeometry geometry;
    QImage image;
    Setup(state, drawing, geometry, image);
    int x = 0;
    for (auto _ : state) {
        PaintViewImage(image, QRect(x, 0, 1, image.height()), drawing, LongDoc(), geometry, {true, kFrames / 3});
        x = (x + 97) % kWidth;
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_SummaryBuild(benchmark::State& state)
{
    CWaveSummary summary;
    for (auto _ : state) {
        summary.Build(LongDoc(), 63);
        benchmark::ClobberMemory();
    }
}

// Both ways of drawing must give the same pixels, or the timings mean nothing.
bool SamePixels()
{
    for (int zoomCase = 0; zoomCase < 2; ++zoomCase) {
        const CViewGeometry geometry = zoomCase == 0 ? MakeGeometry(0, 0) : MakeGeometry(0.0123, 77777);
        CWaveformDrawing fast;
        CWaveformDrawing reference;
        reference.SetUseSummary(false);
        QImage a = NewImage();
        QImage b = NewImage();
        PaintViewImage(a, a.rect(), fast, LongDoc(), geometry, {});
        PaintViewImage(a, a.rect(), fast, LongDoc(), geometry, {});
        PaintViewImage(b, b.rect(), reference, LongDoc(), geometry, {});
        if (a != b)
            return false;
    }
    return true;
}

}  // namespace

BENCHMARK(BM_FullRepaint)->ArgNames({"summary", "zoom1"})->Args({1, 0})->Args({0, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnRepaint)->ArgNames({"summary", "zoom1"})->Args({1, 0})->Args({0, 0})->Args({1, 1})->Args({0, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SummaryBuild)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!SamePixels()) {
        std::fprintf(stderr, "summary and direct drawing differ\n");
        return EXIT_FAILURE;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
