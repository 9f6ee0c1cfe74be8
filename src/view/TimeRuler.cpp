#include "view/TimeRuler.h"

#include <cmath>
#include <cstdio>

namespace {

// Unlabelled ticks per labelled step.
constexpr int kMinorTicks = 5;

std::string Label(double frame, int sampleRate, RulerUnit unit, double step)
{
    char buf[64];
    if (unit == RulerUnit::Frames) {
        std::snprintf(buf, sizeof buf, "%.0f", frame);
        return buf;
    }
    const double seconds = frame / sampleRate;
    // As many decimals as the step needs, at most milliseconds' worth.
    const double stepSeconds = step / sampleRate;
    const int decimals = stepSeconds >= 1.0 ? 0 : std::min(6, int(std::ceil(-std::log10(stepSeconds) - 1e-9)));
    std::snprintf(buf, sizeof buf, "%.*f s", decimals, seconds);
    return buf;
}

}  // namespace

double RulerStep(double zoom, int sampleRate, RulerUnit unit, int minSpacing)
{
    const double unitFrames = unit == RulerUnit::Seconds && sampleRate > 0 ? double(sampleRate) : 1.0;
    if (!(zoom > 0.0))
        return unitFrames;
    const double minUnits = minSpacing / zoom / unitFrames;
    double magnitude = std::pow(10.0, std::floor(std::log10(minUnits)));
    for (;;) {
        for (double m : {1.0, 2.0, 5.0}) {
            const double step = m * magnitude * unitFrames;
            if (step >= 1.0 && step * zoom >= minSpacing)
                return step;
        }
        magnitude *= 10.0;
    }
}

std::vector<CRulerTick> RulerTicks(const CViewGeometry& geometry, int frameCount, int sampleRate, RulerUnit unit)
{
    std::vector<CRulerTick> ticks;
    const double zoom = geometry.m_dZoom;
    if (frameCount <= 0 || !(zoom > 0.0) || (unit == RulerUnit::Seconds && sampleRate <= 0))
        return ticks;
    const double step = RulerStep(zoom, sampleRate, unit);
    const double minor = step / kMinorTicks;
    const int scroll = geometry.GetScrollPosition().x;
    const int width = geometry.GetClientWidth();
    const double firstFrame = scroll / zoom;
    const double lastFrame = std::min<double>(frameCount, (scroll + width) / zoom);
    const long long first = static_cast<long long>(std::floor(firstFrame / minor));
    for (long long i = first; i * minor <= lastFrame; ++i) {
        const double frame = i * minor;
        // Minor ticks closer than 3 pixels would blur into a band.
        const bool bMajor = i % kMinorTicks == 0;
        if (!bMajor && minor * zoom < 3.0)
            continue;
        const int x = geometry.FrameToX(TruncToInt(frame)) - scroll;
        if (x < 0 || x >= width || frame < 0.0)
            continue;
        ticks.push_back({x, bMajor, bMajor ? Label(frame, sampleRate, unit, step) : std::string()});
    }
    return ticks;
}
