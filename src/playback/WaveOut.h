// A wave output device: 16-bit PCM at a given rate and channel count, fed
// buffer by buffer. Each written buffer comes back exactly once through
// IWaveOutSink::OnWaveOutDone, always on the thread that owns the device
// (the user-interface thread), never from inside the call that wrote it.
// Results are 0 for success, a non-zero error code otherwise.
#pragma once

#include <cstdint>

// One buffer handed to the device. dwBufferLength is in bytes.
struct WaveHeader {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwFlags = 0;
};

class IWaveOutSink {
public:
    virtual ~IWaveOutSink() = default;
    // A buffer the device has finished with (played or returned by Reset).
    virtual void OnWaveOutDone(WaveHeader* pHeader) = 0;
};

class IWaveOut {
public:
    virtual ~IWaveOut() = default;
    // Opens the device for signed 16-bit little-endian PCM; the sink receives
    // the done notifications until Close.
    virtual int Open(int nChannels, int nSampleRate, IWaveOutSink* pSink) = 0;
    virtual int PrepareHeader(WaveHeader* pHeader) = 0;
    // Queues the buffer behind those already written.
    virtual int Write(WaveHeader* pHeader) = 0;
    // Stops the sound; every queued buffer comes back (notifications follow
    // later on the owning thread). The played position returns to 0.
    virtual int Reset() = 0;
    // Notifications not yet delivered are dropped: after Close the device
    // holds no buffer and calls the sink no more.
    virtual int Close() = 0;
    // Bytes played since Open (or since the last Reset).
    virtual std::uint64_t GetPositionBytes() = 0;
};
