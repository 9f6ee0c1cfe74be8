// Saves what a wave output device played (16-bit little-endian PCM, frames
// interleaved) as a plain WAV file, so a headless playback run can be listened
// to afterwards. The samples are written exactly as they were played: no
// rescaling, no loop chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `pcm` (whole frames of nChannels × 2 bytes) to `path` through a
// temporary file that replaces the target only once everything is on disk.
// Throws CFileException when the file cannot be written (the target is then
// untouched), or when the data does not fit a RIFF file; std::invalid_argument
// when the format is not one a device opens (1 or 2 channels, a positive rate)
// or the bytes are not whole frames.
void WriteRecordingWav(const std::string& path, int nChannels, int nSampleRate, const std::vector<std::uint8_t>& pcm);
