// Records of the FastTracker 2 extended instrument (XI) file: the 298-byte
// instrument header and the 40-byte sample header, kept as raw bytes so that
// an instrument is written back exactly as it was read.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kXIHeaderSize = 298;
inline constexpr int kXISampleHeaderSize = 40;

struct XIHeader {
    std::array<std::uint8_t, kXIHeaderSize> bytes{};
};

struct XISampleHeader {
    std::array<std::uint8_t, kXISampleHeaderSize> bytes{};
};
static_assert(sizeof(XISampleHeader) == kXISampleHeaderSize);
