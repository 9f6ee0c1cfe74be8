// Conversions between the document's sample values (doubles, nominally
// −1.0 … +1.0) and the codes sample files store. An n-bit integer code is
// read as code ÷ 2^(n−1) and a value is written as value × 2^(n−1),
// truncated toward zero and clipped to the code range, so every value read
// from a file is written back as the same code. Floating-point samples are
// taken as they are, clipped to −1.0 … +1.0. NaN becomes 0.
#pragma once

#include <cmath>
#include <cstdint>

// 2^(nBits − 1): full scale of an nBits code (nBits from 2 to 32).
inline double PcmScale(int nBits) { return std::ldexp(1.0, nBits - 1); }

// value × scale truncated toward zero, clipped to −scale … scale − 1, for a
// scale from PcmScale.
inline std::int32_t ValueToPcmScaled(double value, double scale)
{
    const double p = value * scale;
    if (p != p)
        return 0;
    if (p >= scale)
        return std::int32_t(scale - 1.0);
    if (p <= -scale)
        return std::int32_t(-scale);
    return std::int32_t(p);
}

inline std::int16_t ValueToPcm16(double value) { return std::int16_t(ValueToPcmScaled(value, 32768.0)); }

// A floating-point sample as the document holds it: clipped, NaN as silence.
inline double ClipValue(double value)
{
    if (value > 1.0)
        return 1.0;
    if (value < -1.0)
        return -1.0;
    return value == value ? value : 0.0;
}
