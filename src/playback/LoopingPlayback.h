// Looping playback of the document's frames: two alternating 16384-byte
// buffers of 16-bit PCM (frames × 16383, truncated toward zero), the fill
// jumping from the loop end back to the loop start, and the play cursor
// following what has been heard through the same jumps. Plain core code: the
// view owns one, forwards its Play / Stop / done / timer events to it, and
// implements IPlaybackHost. Everything runs on the user-interface thread.
//
// A wave output that also implements ILoopStreamOut renders the stream on
// its own audio thread instead: Play hands it a snapshot of the document,
// each timer tick hands it a new one when the loop has changed (and
// OnFramesChanged when the frames have), and moves the cursor to the frame
// it reports heard; the two buffers are not used then.
#pragma once

#include "playback/LoopStreamOut.h"
#include "playback/WaveOut.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class CQuorvelDoc;

// A jump taken by the filler that the play cursor has not yet passed.
struct LoopJump {
    std::int32_t nAt;  // fill position that triggered the jump (the loop end then)
    std::int32_t nTo;  // frame the fill continued from (the loop start then)
};

// What playback needs from the window that hosts it.
class IPlaybackHost {
public:
    virtual ~IPlaybackHost() = default;
    // Queue a Stop command to be handled after the current handler returns.
    virtual void PostStop() = 0;
    // Repaint the columns of m_nDrawnPlayPos and m_nPlayPos (when they differ).
    virtual void RedrawPlayCursor() = 0;
    // A modal message captioned with the application title.
    virtual void ShowPlaybackMessage(const std::string& text) = 0;
};

class CLoopingPlayback : public IWaveOutSink {
public:
    static constexpr int kBufferBytes = 16384;
    static constexpr int kScale = 16383;
    static constexpr int kTimerId = 1001;
    // How much of the sound before the loop end Play Seam lets the user hear.
    static constexpr int kSeamLeadSeconds = 1;

    // Neither is owned; both outlive the playback. Destroying a playback
    // that is still playing resets and closes the device first.
    CLoopingPlayback(IWaveOut& waveOut, IPlaybackHost& host);
    ~CLoopingPlayback() override;

    // The document played; may be null (nothing is played).
    void SetDocument(const CQuorvelDoc* pDoc) { m_pDoc = pDoc; }

    // Starts from frame 0; while playing, posts Stop instead. A device that
    // cannot be opened shows "Unable to open sound output device." and
    // playback stays idle.
    void OnPlay();
    // Play Seam: starts kSeamLeadSeconds before the loop end (before the end
    // of the sample when there is no loop, at frame 0 when there is less
    // before it), then goes on as Play does. While playing, it stops and
    // starts again from there, so the user can hear the seam once more.
    void OnPlaySeam();
    // The frame Play Seam starts from, for the current document and loop.
    std::int32_t GetSeamStartFrame() const;
    // Resets and closes the device, puts the cursor at the frame count; does
    // nothing while idle.
    void OnStop();
    // Fills the header's buffer with up to 8192 / channels frames from
    // m_nFillPos on (values beyond 16 bits are clamped) and writes it; a
    // failure shows "Sound error." and the buffer is not counted. Writes
    // nothing once the fill has reached the frame count, while the document
    // is not loaded, or while idle.
    void FillAndQueueBuffer(WaveHeader* pHeader);
    // A buffer back from the device: refilled at once; Stop is posted when
    // none is left queued. Headers other than m_waveHdr's, and notifications
    // arriving while idle, are ignored.
    void OnWaveOutDone(WaveHeader* pHeader) override;
    // Timer kTimerId while playing: moves the cursor by the frames played
    // since the last tick, through the queued jumps. Ignored while the
    // document has no channels.
    void OnTimer(int nIDEvent);

    // State, named as in the view that hosts it.
    std::int32_t m_nDrawnPlayPos = 0;  // frame where the cursor was last drawn
    std::int32_t m_nQueuedBuffers = 0;
    std::array<std::vector<std::uint8_t>, 2> m_pWaveBuf;  // 16384 bytes each
    std::array<WaveHeader, 2> m_waveHdr{};
    bool m_bPlaying = false;
    std::int32_t m_nFillPos = 0;       // next frame to copy into a buffer
    std::int32_t m_nPlayPos = 0;       // next frame to be heard; the cursor
    std::int32_t m_nPlayedFrames = 0;  // device position at the last tick, frames
    std::deque<LoopJump> m_loopJumps;

    // --- playback rendered by the device itself (ILoopStreamOut) -----------
    // The document's frames were replaced or edited: while playing, the
    // device renders from the new ones (what it has not yet played, too).
    void OnFramesChanged();

private:
    // Play from frame nFrom on: the device is opened and both buffers filled.
    void StartPlayback(std::int32_t nFrom);

    IWaveOut& m_waveOut;
    IPlaybackHost& m_host;
    const CQuorvelDoc* m_pDoc = nullptr;

    // --- playback rendered by the device itself -----------------------------
    void StartStream(std::int32_t nFrom);
    void TrackStream();
    ILoopStreamOut* m_pStreamOut = nullptr;  // m_waveOut, when it renders itself
    std::shared_ptr<const CLoopSnapshot> m_pSnapshot;  // the last one handed over
};
