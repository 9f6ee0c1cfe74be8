#include "view/LoopInput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The typed text as frames: nullopt-like false when it is no finite number.
bool ToFrames(const std::string& text, bool bSeconds, int sampleRate, double& frames)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return false;
    for (; *end; ++end)
        if (*end != ' ')
            return false;
    frames = bSeconds ? std::round(value * sampleRate) : value;
    return bSeconds || frames == std::floor(frames);
}

}  // namespace

CLoopInputResult ResolveLoopInput(const CLoopInput& input, int frameCount, int sampleRate)
{
    CLoopInputResult r;
    const std::string unit = input.m_bSeconds ? "seconds" : "whole frames";
    if (frameCount <= 0 || (input.m_bSeconds && sampleRate <= 0)) {
        r.m_strError = "There is no sample to loop.";
        return r;
    }
    double start = 0.0;
    double second = 0.0;
    const std::string& secondText = input.m_bLengthGivesEnd ? input.m_strLength : input.m_strEnd;
    if (!ToFrames(input.m_strStart, input.m_bSeconds, sampleRate, start) ||
        !ToFrames(secondText, input.m_bSeconds, sampleRate, second)) {
        r.m_strError = "Type the start and the " + std::string(input.m_bLengthGivesEnd ? "length" : "end") + " in " +
                       unit + ".";
        return r;
    }
    const double end = input.m_bLengthGivesEnd ? start + second : second;
    if (start < 0.0 || start >= frameCount || end <= start || end > frameCount) {
        r.m_strError = "The loop must lie within the sample: start 0 to " + std::to_string(frameCount - 1) +
                       ", end after the start and at most " + std::to_string(frameCount) + " (frames).";
        return r;
    }
    r.m_bOk = true;
    r.m_nStart = int(start);
    r.m_nEnd = int(end);
    return r;
}

std::string FormatLoopValue(long long frames, bool bSeconds, int sampleRate)
{
    if (!bSeconds || sampleRate <= 0)
        return std::to_string(frames);
    // Six decimals tell frames apart up to 1 MHz.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", double(frames) / sampleRate);
    return buf;
}
