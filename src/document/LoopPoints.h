// One sustain loop as the document lists it: frames, end exclusive, and the
// file's "smpl" loop type (0 forward, 1 alternating, 2 backward).
#pragma once

#include <cstdint>

struct CLoopPoints {
    std::int32_t m_nStart = 0;
    std::int32_t m_nEnd = 0;  // exclusive
    std::uint32_t m_nType = 0;

    std::int32_t Length() const { return m_nEnd - m_nStart; }
    bool operator==(const CLoopPoints&) const = default;
};
