#include "playback/PulseLoopOut.h"

#include "playback/QtWaveOut.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace {

// The server's buffer for the stream: the system player's default depth, so
// that our sound survives a busy machine as well as the system player's.
constexpr std::uint64_t kServerBufferMilliseconds = 2000;
// How much the server asks for at a time. With early requests it is also how
// far ahead the sink plays: the part of the buffer that can no longer be
// rewritten, small enough that a loop change is heard at once.
constexpr std::uint64_t kRequestMilliseconds = 20;
// A rewrite starts this far past the read position the server reported,
// carried forward to now: the sink takes its data in steps of up to
// kRequestMilliseconds, and our answer needs time to reach the server, even
// on a busy machine.
constexpr std::uint64_t kRewriteMarginMilliseconds = 40;
// How often the audio thread looks for a new snapshot while playing.
constexpr std::uint64_t kWatchMilliseconds = 10;

class CPulseLoopOut : public IWaveOut, public ILoopStreamOut {
public:
    explicit CPulseLoopOut(std::unique_ptr<IWaveOut> pPlain) : m_pPlain(std::move(pPlain)) {}

    ~CPulseLoopOut() override
    {
        Stop();
        Disconnect();
    }

    // --- IWaveOut: the plain wave output ---------------------------------
    int Open(int nChannels, int nSampleRate, IWaveOutSink* pSink) override
    {
        return m_pPlain->Open(nChannels, nSampleRate, pSink);
    }
    int PrepareHeader(WaveHeader* pHeader) override { return m_pPlain->PrepareHeader(pHeader); }
    int Write(WaveHeader* pHeader) override { return m_pPlain->Write(pHeader); }
    int Reset() override { return m_pPlain->Reset(); }
    int Close() override { return m_pPlain->Close(); }
    std::uint64_t GetPositionBytes() override { return m_pPlain->GetPositionBytes(); }

    // --- ILoopStreamOut ---------------------------------------------------
    int Start(std::shared_ptr<const CLoopSnapshot> pSnapshot, std::int32_t nFrom) override
    {
        Stop();
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        // Out of range counts become 0, which the server's check refuses.
        const int nChannels = pSnapshot->nChannels;
        spec.channels = std::uint8_t(nChannels > 0 && nChannels <= int(PA_CHANNELS_MAX) ? nChannels : 0);
        if (!pSnapshot->pSamples)
            return kPulseLoopOutBadFormat;
        if (!Connect())
            return kPulseLoopOutNoServer;
        pa_threaded_mainloop_lock(m_pLoop);
        const int nResult = CreateStream(std::move(pSnapshot), nFrom, spec);
        pa_threaded_mainloop_unlock(m_pLoop);
        if (nResult != 0)
            Stop();
        return nResult;
    }

    void Publish(std::shared_ptr<const CLoopSnapshot> pSnapshot) override { m_published.store(std::move(pSnapshot)); }

    void Stop() override
    {
        if (m_pLoop == nullptr)
            return;
        std::vector<std::shared_ptr<const CLoopSnapshot>> retired;
        pa_threaded_mainloop_lock(m_pLoop);
        if (m_pWatch != nullptr) {
            pa_threaded_mainloop_get_api(m_pLoop)->time_free(m_pWatch);
            m_pWatch = nullptr;
        }
        CancelOperation(m_pTimingOp);
        CancelOperation(m_pDrainOp);
        if (m_pStream != nullptr) {
            pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
            pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
            // Leaving the server drops what it holds: only the little the
            // sink already plays ahead is still heard.
            pa_stream_disconnect(m_pStream);
            pa_stream_unref(m_pStream);
            m_pStream = nullptr;
        }
        retired.swap(m_retired);
        retired.push_back(std::move(m_pCurrent));
        m_pCurrent.reset();
        pa_threaded_mainloop_unlock(m_pLoop);
        m_published.store(nullptr);
    }

    Progress Poll() override
    {
        Progress progress;
        if (m_pLoop == nullptr)
            return progress;
        // Snapshots the audio thread let go of are freed here, not there.
        std::vector<std::shared_ptr<const CLoopSnapshot>> retired;
        pa_threaded_mainloop_lock(m_pLoop);
        pa_usec_t nUsec = 0;
        if (m_pStream != nullptr && pa_stream_get_time(m_pStream, &nUsec) >= 0) {
            const std::uint64_t nFrames = (std::uint64_t(nUsec) * m_nRate + 500000u) / 1000000u;
            m_nHeard = std::max(m_nHeard, std::min(nFrames, m_renderer.Written()));
        }
        m_renderer.ForgetBefore(m_nHeard);
        progress.nFrame = m_renderer.FrameAt(m_nHeard);
        progress.bEnded = m_bEnded;
        progress.bFailed = m_bFailed;
        retired.swap(m_retired);
        pa_threaded_mainloop_unlock(m_pLoop);
        return progress;
    }

private:
    // --- connection (user-interface thread) -------------------------------
    bool Connect()
    {
        if (m_pContext != nullptr && pa_context_get_state(m_pContext) == PA_CONTEXT_READY)
            return true;
        Disconnect();
        m_pLoop = pa_threaded_mainloop_new();
        if (m_pLoop == nullptr)
            return false;
        m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Ringseam");
        if (m_pContext == nullptr || pa_threaded_mainloop_start(m_pLoop) < 0) {
            Disconnect();
            return false;
        }
        pa_threaded_mainloop_lock(m_pLoop);
        pa_context_set_state_callback(m_pContext, &CPulseLoopOut::OnContextState, this);
        bool bReady = pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
        while (bReady) {
            const pa_context_state_t state = pa_context_get_state(m_pContext);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                bReady = false;
            else
                pa_threaded_mainloop_wait(m_pLoop);
        }
        pa_threaded_mainloop_unlock(m_pLoop);
        if (!bReady)
            Disconnect();
        return bReady;
    }

    void Disconnect()
    {
        if (m_pLoop == nullptr)
            return;
        pa_threaded_mainloop_lock(m_pLoop);
        if (m_pContext != nullptr) {
            pa_context_set_state_callback(m_pContext, nullptr, nullptr);
            pa_context_disconnect(m_pContext);
            pa_context_unref(m_pContext);
            m_pContext = nullptr;
        }
        pa_threaded_mainloop_unlock(m_pLoop);
        pa_threaded_mainloop_stop(m_pLoop);
        pa_threaded_mainloop_free(m_pLoop);
        m_pLoop = nullptr;
    }

    // Main loop locked. 0 once the stream is ready and the first request
    // is being answered.
    int CreateStream(std::shared_ptr<const CLoopSnapshot> pSnapshot, std::int32_t nFrom, pa_sample_spec spec)
    {
        m_nRate = std::max(pSnapshot->nSampleRate, 0);
        spec.rate = std::uint32_t(m_nRate);
        if (!pa_sample_spec_valid(&spec))
            return kPulseLoopOutBadFormat;
        pa_channel_map map;
        pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
        m_pStream = pa_stream_new(m_pContext, "Ringseam playback", &spec, &map);
        if (m_pStream == nullptr)
            return kPulseLoopOutBadFormat;
        m_nFrameBytes = pa_frame_size(&spec);
        m_pCurrent = pSnapshot;
        m_published.store(std::move(pSnapshot));
        m_renderer.Start(nFrom);
        m_nHeard = 0;
        m_bEnded = false;
        m_bFailed = false;

        pa_buffer_attr attr;
        attr.maxlength = std::uint32_t(-1);
        attr.tlength = std::uint32_t(pa_usec_to_bytes(kServerBufferMilliseconds * PA_USEC_PER_MSEC, &spec));
        attr.minreq = std::uint32_t(pa_usec_to_bytes(kRequestMilliseconds * PA_USEC_PER_MSEC, &spec));
        // The sound starts with the first data; the whole buffer follows at once.
        attr.prebuf = std::uint32_t(m_nFrameBytes);
        attr.fragsize = std::uint32_t(-1);
        pa_stream_set_state_callback(m_pStream, &CPulseLoopOut::OnStreamState, this);
        pa_stream_set_write_callback(m_pStream, &CPulseLoopOut::OnWritable, this);
        const auto flags = pa_stream_flags_t(PA_STREAM_EARLY_REQUESTS | PA_STREAM_INTERPOLATE_TIMING |
                                             PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return kPulseLoopOutRefused;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(m_pStream);
            if (state == PA_STREAM_READY)
                break;
            if (!PA_STREAM_IS_GOOD(state))
                return kPulseLoopOutRefused;
            pa_threaded_mainloop_wait(m_pLoop);
        }
        m_pWatch = pa_context_rttime_new(m_pContext, pa_rtclock_now() + kWatchMilliseconds * PA_USEC_PER_MSEC,
                                         &CPulseLoopOut::OnWatch, this);
        return 0;
    }

    static void CancelOperation(pa_operation*& pOp)
    {
        if (pOp == nullptr)
            return;
        pa_operation_cancel(pOp);
        pa_operation_unref(pOp);
        pOp = nullptr;
    }

    // --- audio thread: callbacks, main loop locked --------------------------
    static void OnContextState(pa_context* pContext, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(pContext)))
            self->m_bFailed = true;
        pa_threaded_mainloop_signal(self->m_pLoop, 0);
    }

    static void OnStreamState(pa_stream* pStream, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(pStream)))
            self->m_bFailed = true;
        pa_threaded_mainloop_signal(self->m_pLoop, 0);
    }

    static void OnWritable(pa_stream*, size_t nBytes, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        self->Fill(nBytes / self->m_nFrameBytes, 0);
    }

    // Looks for a new snapshot. The read position the server reported last
    // (kept up to date by the library's own timing updates) places the
    // rewrite; without one, the rewrite waits for it to be fetched.
    static void OnWatch(pa_mainloop_api*, pa_time_event* pEvent, const struct timeval*, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        if (self->m_pTimingOp == nullptr && self->m_pStream != nullptr && !self->m_bEnded &&
            self->m_published.load() != self->m_pCurrent) {
            const pa_timing_info* pTiming = pa_stream_get_timing_info(self->m_pStream);
            if (pTiming != nullptr && !pTiming->read_index_corrupt)
                self->Rewrite();
            else
                self->m_pTimingOp =
                    pa_stream_update_timing_info(self->m_pStream, &CPulseLoopOut::OnTimingForRewrite, self);
        }
        pa_context_rttime_restart(self->m_pContext, pEvent, pa_rtclock_now() + kWatchMilliseconds * PA_USEC_PER_MSEC);
    }

    static void OnTimingForRewrite(pa_stream*, int, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        pa_operation_unref(self->m_pTimingOp);
        self->m_pTimingOp = nullptr;
        self->Rewrite();
    }

    static void OnDrained(pa_stream*, int bSuccess, void* pSelf)
    {
        auto* self = static_cast<CPulseLoopOut*>(pSelf);
        pa_operation_unref(self->m_pDrainOp);
        self->m_pDrainOp = nullptr;
        if (bSuccess)
            self->m_bEnded = true;
    }

    // Renders up to nFrames more (at least nCover, padded with silence after
    // the end) and writes them nSeekBytes from the server's write position.
    void Fill(std::size_t nFrames, std::int64_t nSeekBytes, std::size_t nCover = 0)
    {
        if (m_pStream == nullptr || !m_pCurrent || m_bEnded)
            return;
        nFrames = std::max(nFrames, nCover);
        if (nFrames == 0)
            return;
        const std::size_t nChannels = std::size_t(m_pCurrent->nChannels);
        m_scratch.assign(nFrames * nChannels, 0);
        std::size_t nDone = m_renderer.Render(*m_pCurrent, m_scratch.data(), nFrames);
        if (nDone > 0)
            CancelOperation(m_pDrainOp);  // more to play after all
        if (nDone < nCover) {
            m_renderer.PadSilence(nCover - nDone);
            nDone = nCover;
        }
        if (nDone > 0 && pa_stream_write(m_pStream, m_scratch.data(), nDone * m_nFrameBytes, nullptr, nSeekBytes,
                                         PA_SEEK_RELATIVE) < 0)
            m_bFailed = true;
        if (m_renderer.AtEnd() && m_pDrainOp == nullptr)
            m_pDrainOp = pa_stream_drain(m_pStream, &CPulseLoopOut::OnDrained, this);
    }

    // The newest snapshot replaces the one rendered from, from a little
    // ahead of the server's read position on.
    void Rewrite()
    {
        std::shared_ptr<const CLoopSnapshot> pNew = m_published.load();
        if (m_pStream == nullptr || !pNew || pNew == m_pCurrent)
            return;
        m_retired.push_back(std::move(m_pCurrent));
        m_pCurrent = std::move(pNew);
        const std::uint64_t nWritten = m_renderer.Written();
        std::uint64_t nFrom = nWritten;  // without a read position only new data changes
        const pa_timing_info* pTiming = pa_stream_get_timing_info(m_pStream);
        if (pTiming != nullptr && !pTiming->read_index_corrupt && pTiming->read_index >= 0) {
            std::uint64_t nRead = std::uint64_t(pTiming->read_index) / m_nFrameBytes;
            if (pTiming->playing)
                nRead += std::uint64_t(pa_timeval_age(&pTiming->timestamp)) * std::uint64_t(m_nRate) / PA_USEC_PER_SEC;
            nFrom = std::min(nWritten, nRead + kRewriteMarginMilliseconds * std::uint64_t(m_nRate) / 1000u);
        }
        m_renderer.RewindTo(nFrom);
        const std::uint64_t nCover = nWritten - m_renderer.Written();
        Fill(std::size_t(nCover), -std::int64_t(nCover * m_nFrameBytes), std::size_t(nCover));
    }

    std::unique_ptr<IWaveOut> m_pPlain;
    pa_threaded_mainloop* m_pLoop = nullptr;  // the audio thread
    pa_context* m_pContext = nullptr;
    // Published by the user-interface thread, picked up by the audio thread.
    std::atomic<std::shared_ptr<const CLoopSnapshot>> m_published;

    // Guarded by the main loop's lock (the audio thread holds it in callbacks).
    pa_stream* m_pStream = nullptr;
    pa_time_event* m_pWatch = nullptr;
    pa_operation* m_pTimingOp = nullptr;
    pa_operation* m_pDrainOp = nullptr;
    std::shared_ptr<const CLoopSnapshot> m_pCurrent;  // rendered from
    std::vector<std::shared_ptr<const CLoopSnapshot>> m_retired;
    CLoopRenderer m_renderer;
    std::vector<std::int16_t> m_scratch;
    std::size_t m_nFrameBytes = 1;
    int m_nRate = 0;
    std::uint64_t m_nHeard = 0;  // stream frames the server reported heard
    bool m_bEnded = false;
    bool m_bFailed = false;
};

}  // namespace

std::unique_ptr<IWaveOut> CreateDeepWaveOut(QObject* parent)
{
    return std::make_unique<CPulseLoopOut>(CreateQtWaveOut(parent));
}
