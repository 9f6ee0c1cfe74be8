// What the Set Loop dialog typed, turned into loop points: a start and
// either an end or a length, in frames or in seconds (rounded to the
// nearest frame). The loop must lie inside the sample: start 0 … F − 1 and
// end start + 1 … F (frames, end exclusive). Anything else is refused with
// a message saying what is allowed. Pure; any thread.
#pragma once

#include <string>

struct CLoopInput {
    std::string m_strStart;
    std::string m_strEnd;      // used unless m_bLengthGivesEnd
    std::string m_strLength;   // used when m_bLengthGivesEnd
    bool m_bLengthGivesEnd = false;
    bool m_bSeconds = false;   // the numbers are seconds, else frames
};

struct CLoopInputResult {
    bool m_bOk = false;
    int m_nStart = 0;  // frames
    int m_nEnd = 0;    // frames, exclusive
    std::string m_strError;  // why it was refused ("" when m_bOk)
};

CLoopInputResult ResolveLoopInput(const CLoopInput& input, int frameCount, int sampleRate);

// `frames` as the dialog shows it: the number of frames, or seconds with
// enough decimals to name one frame at `sampleRate`.
std::string FormatLoopValue(long long frames, bool bSeconds, int sampleRate);
