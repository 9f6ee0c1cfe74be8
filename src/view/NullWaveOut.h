// CNullWaveOut: the wave output of a view that was given no device. Opening
// it fails, so Play reports that the sound output device cannot be opened
// and playback stays idle.
#pragma once

#include "playback/WaveOut.h"

class CNullWaveOut : public IWaveOut {
public:
    static constexpr int kNoDevice = 2;  // any non-zero result

    int Open(int, int, IWaveOutSink*) override { return kNoDevice; }
    int PrepareHeader(WaveHeader*) override { return kNoDevice; }
    int Write(WaveHeader*) override { return kNoDevice; }
    int Reset() override { return 0; }
    int Close() override { return 0; }
    std::uint64_t GetPositionBytes() override { return 0; }
};
