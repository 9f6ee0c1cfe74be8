// The "cue " chunk of RIFF/WAVE files as the release marker: organ sample
// sets put the frame where the release starts in the first cue point. The
// chunk stays among the kept chunks (CWavChunk::Kind::Kept) byte for byte;
// only a moved, new or removed marker rewrites it. Positions are frames.
#pragma once

#include "document/SampleSource.h"

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr int kWavCuePointSize = 24;  // bytes per cue point

// The first cue point's sample offset; nullopt when the body holds no whole
// point or the offset does not fit a frame index.
std::optional<std::int32_t> ReadCueRelease(const std::vector<std::uint8_t>& body);

// The release marker as the first "cue " chunk of `chunks` holds it.
std::optional<std::int32_t> FindCueRelease(const std::vector<CWavChunk>& chunks);

// Makes the chunks hold `release` (−1: none). Nothing changes while the
// first cue point already says so. A moved marker rewrites the first point's
// sample offset (and its play-order position when that equalled the old
// offset); a new one adds a chunk of one point before the frames; a removed
// one drops the first point, and the chunk with its last point. The label
// ("LIST"/"adtl") names the point by id, so it stays valid as it is.
void PlaceCueRelease(std::vector<CWavChunk>& chunks, std::int32_t release);
