// The frames a sound output has played, from the microseconds it reports.
#pragma once

#include <cstdint>

// Frames in `nUsecs` microseconds at `nRate` frames a second, rounded to the
// nearest frame: the output reports whole microseconds, so truncating would
// leave the end of a stream a frame short of what was played.
inline std::uint64_t FramesInMicroseconds(std::uint64_t nUsecs, std::uint32_t nRate)
{
    return (nUsecs * nRate + 500000u) / 1000000u;
}
