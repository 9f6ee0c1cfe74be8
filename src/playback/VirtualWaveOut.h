// CVirtualWaveOut: a wave output device without sound, driven by a clock the
// caller controls. Advance consumes queued bytes as a real device would play
// them; a buffer whose last byte has been consumed is finished, and its done
// notification waits until DeliverPending hands it to the sink, the way a
// real device posts it to the user-interface thread. Everything written and
// everything "heard" is recorded, so tests can check the stream byte by byte.
//
// With a margin (SetMargin), it behaves like the real output instead: the
// written buffers are taken into a device buffer of that many milliseconds
// as soon as it has room, and a buffer is finished once all of it has been
// taken (the last one written only once all of it has been played), so the
// client keeps the margin filled ahead of what plays.
//
// Not thread-safe: one thread drives it and receives its notifications.
#pragma once

#include "playback/WaveOut.h"
#include "playback/WaveStreamQueue.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class CVirtualWaveOut : public IWaveOut {
public:
    // Result codes (Windows' own values, for familiarity).
    static constexpr int kErrNotOpen = 5;      // invalid handle
    static constexpr int kErrStillQueued = 33;  // header already queued

    // Milliseconds of device buffer from the next Open on; 0 (the default):
    // none, a buffer is finished once played.
    void SetMargin(int nMilliseconds) { m_nMarginMs = nMilliseconds; }

    int Open(int nChannels, int nSampleRate, IWaveOutSink* pSink) override;
    int PrepareHeader(WaveHeader* pHeader) override;
    int Write(WaveHeader* pHeader) override;
    int Reset() override;
    int Close() override;
    std::uint64_t GetPositionBytes() override { return m_nPositionBytes; }

    // --- the clock ---------------------------------------------------------
    // Plays up to nBytes of queued audio (fewer when the queue runs dry; the
    // position counts only what was played). Returns the bytes played.
    std::uint64_t Advance(std::uint64_t nBytes);
    // Plays what nMilliseconds of real time would, at the open format; the
    // fraction of a frame left over is carried to the next call.
    std::uint64_t AdvanceTime(std::uint64_t nMilliseconds);
    // Hands every finished buffer to the sink, oldest first, including those
    // that finish while delivering. Returns how many were delivered.
    int DeliverPending();
    // Advance by nMilliseconds and deliver, in steps of nStepMs.
    void Run(std::uint64_t nMilliseconds, std::uint64_t nStepMs = 20);

    // --- failures to simulate ----------------------------------------------
    int m_nOpenError = 0;     // returned by Open when non-zero
    int m_nPrepareError = 0;  // returned by every PrepareHeader when non-zero
    int m_nWriteError = 0;    // returned by every Write when non-zero
    int m_nFailWriteNumber = -1;  // this Write (0-based count) fails once with 11

    // --- what happened -----------------------------------------------------
    bool IsOpen() const { return m_bOpen; }
    int GetChannels() const { return m_nChannels; }
    int GetSampleRate() const { return m_nSampleRate; }
    std::size_t GetQueuedCount() const { return m_queue.size(); }
    std::size_t GetPendingCount() const { return m_pending.size(); }
    int m_nOpenCount = 0;
    int m_nWriteCount = 0;  // successful writes
    int m_nCloseCount = 0;
    int m_nResetCount = 0;
    // Calls made while closed, or of a header still queued: a client fault.
    int m_nMisuseCount = 0;
    // Every byte of every successful Write, in order, as it was at the Write.
    std::vector<std::uint8_t> m_written;
    // Every byte played, read from the buffer at the moment it is played (or,
    // with a margin, taken): a client that touches a queued buffer makes this
    // differ from m_written.
    std::vector<std::uint8_t> m_heard;
    // Frame size of every Write, to check buffers hold whole frames.
    std::vector<std::uint32_t> m_writeLengths;

private:
    struct Queued {
        WaveHeader* pHeader;
        std::uint32_t nConsumed;
    };
    bool IsQueued(const WaveHeader* pHeader) const;
    // With a margin: fills the device buffer from the written buffers and
    // finishes those that may go back.
    void Take();

    bool m_bOpen = false;
    int m_nChannels = 0;
    int m_nSampleRate = 0;
    IWaveOutSink* m_pSink = nullptr;
    std::deque<Queued> m_queue;
    std::deque<WaveHeader*> m_pending;  // finished, notification not yet delivered
    std::uint64_t m_nPositionBytes = 0;
    std::uint64_t m_nTimeRemainder = 0;  // byte-milliseconds not yet played
    int m_nWriteAttempts = 0;
    int m_nMarginMs = 0;
    std::uint64_t m_nMarginBytes = 0;       // of the open format; 0: no margin
    CWaveStreamQueue m_stream;              // with a margin: written, not yet finished
    std::deque<std::uint8_t> m_deviceBuffer;  // with a margin: taken, not yet played
};
