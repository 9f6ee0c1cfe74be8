#include "playback/QtWaveOut.h"
#include "playback/HeardPosition.h"

#include "playback/WaveStreamQueue.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

namespace {

// QT_LOGGING_RULES="ringseam.audio.debug=true" shows how the audio thread
// keeps up: late ticks, streams started by hand, stalls.
Q_LOGGING_CATEGORY(lcAudio, "ringseam.audio", QtWarningMsg)

// The sound server's buffer for the stream: what it still plays when
// neither the user-interface thread nor the audio thread gets to run (on a
// busy machine either may wait 200 ms and more), and what it catches up
// from after it was held up itself.
constexpr qint64 kSinkBufferMilliseconds = 500;
// How often the audio thread tops the server's buffer up, returns buffers
// and reads the position while any buffer is held.
constexpr int kPumpMilliseconds = 5;
// The server starts a stream once its buffer is nearly full. A stream that
// got all the client had (a short sample, or the end after a drop-out) and
// stands still this long is started by hand.
constexpr qint64 kKickMilliseconds = 50;
// A stream whose position stands still this long has played all it got,
// whatever its clock says.
constexpr qint64 kStallMilliseconds = 1000;
// The server's clock runs on between its updates and may claim the end of
// the stream a little early: the last buffer is returned only this long
// after its end seemed heard, so that a Stop it triggers cuts nothing.
constexpr qint64 kLastBufferGuardMilliseconds = 100;
// How long a stopped sink object is kept before it is deleted.
constexpr int kSinkLingerMilliseconds = 2000;

// What the user-interface thread and the audio thread share; m_mutex guards
// every member. Buffer memory is read by the audio thread only while it
// holds the mutex, and the client gets a buffer back only through the queue,
// so it never refills one that is being read.
struct CSharedStream {
    std::mutex m_mutex;
    CWaveStreamQueue m_queue;
    std::uint64_t m_nHeard = 0;  // bytes heard since the stream started, whole frames
    bool m_bFailed = false;      // the sink died: writes fail until Reset or Close
};

// Lives in the audio thread and owns the sink there: starts and stops it,
// keeps it topped up from the queue and reads its position. Finished
// buffers are handed to m_done, which posts them to the client's thread.
class CAudioPump : public QObject {
public:
    CAudioPump(CSharedStream& shared, std::function<void(std::deque<WaveHeader*>)> done)
        : m_shared(shared), m_done(std::move(done))
    {
        m_timer.setInterval(kPumpMilliseconds);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Pump(); });
    }
    ~CAudioPump() override { StopSink(); }

    // Blocking calls from the client's thread.
    bool OpenSink(const QAudioDevice& device, const QAudioFormat& format)
    {
        m_device = device;
        m_format = format;
        return StartSink();
    }
    void StopSink()
    {
        m_timer.stop();
        if (m_pSink == nullptr)
            return;
        // Qt's PulseAudio backend may still call into a stopped sink from
        // its own thread for a moment (a drain it started when the stream
        // ran dry): the object goes a while later.
        QAudioSink* pSink = m_pSink;
        m_pSink = nullptr;
        m_pInput = nullptr;
        pSink->stop();
        pSink->setParent(nullptr);
        QTimer::singleShot(kSinkLingerMilliseconds, pSink, &QObject::deleteLater);
    }

    // Posted by Write: start the sound at once rather than at the next tick.
    void Pump()
    {
        if (m_sinceTick.isValid() && m_sinceTick.elapsed() > 4 * kPumpMilliseconds && m_timer.isActive())
            qCDebug(lcAudio) << "audio thread late by" << m_sinceTick.elapsed() - kPumpMilliseconds << "ms";
        m_sinceTick.start();
        std::deque<WaveHeader*> finished;
        {
            std::lock_guard lock(m_shared.m_mutex);
            CWaveStreamQueue& queue = m_shared.m_queue;
            if (m_pSink == nullptr && !queue.IsEmpty() && !m_shared.m_bFailed && !StartSink())
                m_shared.m_bFailed = true;
            if (m_pSink != nullptr && m_pSink->state() == QAudio::StoppedState) {
                // The sink died under us (the sound server went away): every
                // buffer comes back, so the client can end.
                StopSink();
                m_shared.m_bFailed = true;
            }
            if (m_shared.m_bFailed) {
                finished = queue.TakeAll();
                m_shared.m_nHeard = 0;
            } else if (m_pSink != nullptr) {
                Push(queue);
                m_shared.m_nHeard = Heard(queue);
                const bool bLastHeard = LastHeardLongEnough(queue);
                while (WaveHeader* pHeader = queue.TakeFinished(bLastHeard))
                    finished.push_back(pHeader);
            }
            if (queue.IsEmpty() || m_pSink == nullptr)
                m_timer.stop();
            else if (!m_timer.isActive())
                m_timer.start();
        }
        if (!finished.empty())
            m_done(std::move(finished));
    }

    // The stream starts afresh (after Reset): the next write opens a sink.
    void Restart()
    {
        StopSink();
        m_nHeard = 0;
        m_heardMoved.invalidate();
        m_lastHeard.invalidate();
        m_bKicked = false;
    }

private:
    bool StartSink()
    {
        auto* pSink = new QAudioSink(m_device, m_format, this);
        pSink->setBufferSize(m_format.bytesForDuration(kSinkBufferMilliseconds * 1000));
        QIODevice* pInput = pSink->start();
        if (pInput == nullptr || pSink->error() != QAudio::NoError || pSink->state() == QAudio::StoppedState) {
            delete pSink;
            return false;
        }
        m_pSink = pSink;
        m_pInput = pInput;
        m_nHeard = 0;
        m_heardMoved.start();
        m_lastHeard.invalidate();
        m_bKicked = false;
        return true;
    }

    // Hands the sink as much as it takes now. The server would wait for a
    // nearly full buffer before it starts a new stream; it starts at once
    // instead, with the client's first buffers, and fills up as it plays.
    void Push(CWaveStreamQueue& queue)
    {
        const bool bNew = queue.Pushed() == 0;
        qint64 nFree = m_pSink->bytesFree();
        while (nFree > 0) {
            const std::span<const std::uint8_t> piece = queue.NextToPush(std::uint64_t(nFree));
            if (piece.empty())
                break;
            const qint64 nDone = m_pInput->write(reinterpret_cast<const char*>(piece.data()), qint64(piece.size()));
            if (nDone <= 0)
                break;
            queue.MarkPushed(std::uint64_t(nDone));
            nFree -= nDone;
        }
        if (bNew && queue.Pushed() > 0)
            StartNow();
    }

    // Starts a stream that waits for more data: corked and uncorked, which
    // triggers it.
    void StartNow()
    {
        m_pSink->suspend();
        m_pSink->resume();
    }

    // Bytes heard since the stream started: the sink's played time (what
    // the server has taken less what its output still holds), in whole
    // frames, never more than the sink was given and never going back.
    std::uint64_t Heard(const CWaveStreamQueue& queue)
    {
        const std::uint64_t nFrameBytes = std::uint64_t(m_format.bytesPerFrame());
        const std::uint64_t nPushed = queue.Pushed();
        const std::uint64_t nUsecs = std::uint64_t(std::max<qint64>(m_pSink->processedUSecs(), 0));
        const std::uint64_t nFrames = FramesInMicroseconds(nUsecs, std::uint32_t(m_format.sampleRate()));
        std::uint64_t nBytes = std::min(nFrames * nFrameBytes, nPushed);
        nBytes -= nBytes % nFrameBytes;
        if (nBytes > m_nHeard) {
            m_nHeard = nBytes;
            m_heardMoved.restart();
            m_bKicked = false;
        } else if (nPushed > m_nHeard && queue.NextToPush(1).empty()) {
            // Everything the client wrote is with the server, and nothing
            // moves: the server waits for a fuller buffer that will not
            // come. Start it; if even that does not help, it is done.
            if (!m_bKicked && m_heardMoved.elapsed() > kKickMilliseconds) {
                m_bKicked = true;
                qCDebug(lcAudio) << "stream started by hand at byte" << m_nHeard << "of" << nPushed;
                StartNow();
            } else if (m_heardMoved.elapsed() > kStallMilliseconds) {
                m_nHeard = nPushed - nPushed % nFrameBytes;
                qCDebug(lcAudio) << "stream stalled at byte" << m_nHeard;
            }
        }
        return m_nHeard;
    }

    bool LastHeardLongEnough(const CWaveStreamQueue& queue)
    {
        if (!queue.IsOnlyLastLeft() || m_nHeard < queue.LastEnd()) {
            m_lastHeard.invalidate();
            return false;
        }
        if (!m_lastHeard.isValid())
            m_lastHeard.start();
        return m_lastHeard.elapsed() >= kLastBufferGuardMilliseconds;
    }

    CSharedStream& m_shared;
    std::function<void(std::deque<WaveHeader*>)> m_done;
    QAudioDevice m_device;
    QAudioFormat m_format;
    QAudioSink* m_pSink = nullptr;  // null until the first write after Open or Reset
    QIODevice* m_pInput = nullptr;  // the sink's own input, valid while it runs
    QTimer m_timer{this};
    std::uint64_t m_nHeard = 0;
    QElapsedTimer m_heardMoved;  // since the position last moved
    QElapsedTimer m_lastHeard;   // since the last buffer seemed heard
    bool m_bKicked = false;      // started by hand since the position last moved
    QElapsedTimer m_sinceTick;   // since the last Pump, for the log
};

class CQtWaveOut : public QObject, public IWaveOut {
public:
    CQtWaveOut()
    {
        m_thread.setObjectName(QStringLiteral("ringseam-audio"));
        m_pPump = new CAudioPump(m_shared, [this](std::deque<WaveHeader*> done) { PostDone(std::move(done)); });
        m_pPump->moveToThread(&m_thread);
        m_thread.start();
    }

    ~CQtWaveOut() override
    {
        RunInAudioThread([this] { delete m_pPump; });
        m_thread.quit();
        m_thread.wait();
    }

    int Open(int nChannels, int nSampleRate, IWaveOutSink* pSink) override
    {
        if (m_bOpen)
            return kQtWaveOutStillPlaying;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return kQtWaveOutNoDevice;
        QAudioFormat format;
        format.setSampleRate(nSampleRate);
        format.setChannelCount(nChannels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (nChannels <= 0 || nSampleRate <= 0 || !device.isFormatSupported(format))
            return kQtWaveOutBadFormat;
        // The stream is set up now, so the first Write only has to send.
        bool bStarted = false;
        RunInAudioThread([&] { bStarted = m_pPump->OpenSink(device, format); });
        if (!bStarted)
            return kQtWaveOutNoDevice;

        m_pSinkTarget = pSink;
        m_bOpen = true;
        ++m_nSession;
        std::lock_guard lock(m_shared.m_mutex);
        m_shared.m_bFailed = false;
        return 0;
    }

    int PrepareHeader(WaveHeader* pHeader) override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        if (pHeader == nullptr || pHeader->lpData == nullptr)
            return kQtWaveOutStartFailed;
        return 0;
    }

    int Write(WaveHeader* pHeader) override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        if (pHeader == nullptr || pHeader->lpData == nullptr)
            return kQtWaveOutStartFailed;
        {
            std::lock_guard lock(m_shared.m_mutex);
            if (m_shared.m_bFailed)
                return kQtWaveOutStartFailed;
            if (m_shared.m_queue.Contains(pHeader))
                return kQtWaveOutStillPlaying;
            m_shared.m_queue.Append(pHeader);
        }
        QMetaObject::invokeMethod(m_pPump, [pump = m_pPump] { pump->Pump(); }, Qt::QueuedConnection);
        return 0;
    }

    int Reset() override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        // Nothing more is sent once the queue is empty; stopping the sink
        // drops what the server still holds.
        std::deque<WaveHeader*> returned;
        {
            std::lock_guard lock(m_shared.m_mutex);
            returned = m_shared.m_queue.TakeAll();
            m_shared.m_nHeard = 0;
            m_shared.m_bFailed = false;
        }
        RunInAudioThread([this] { m_pPump->Restart(); });
        PostDone(std::move(returned));
        return 0;
    }

    int Close() override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        {
            std::lock_guard lock(m_shared.m_mutex);
            if (!m_shared.m_queue.IsEmpty())
                return kQtWaveOutStillPlaying;
        }
        RunInAudioThread([this] { m_pPump->Restart(); });
        ++m_nSession;  // notifications still posted are dropped
        m_pSinkTarget = nullptr;
        m_bOpen = false;
        return 0;
    }

    std::uint64_t GetPositionBytes() override
    {
        std::lock_guard lock(m_shared.m_mutex);
        return m_shared.m_nHeard;
    }

private:
    // Runs f in the audio thread and waits for it.
    void RunInAudioThread(const std::function<void()>& f)
    {
        QMetaObject::invokeMethod(m_pPump, f, Qt::BlockingQueuedConnection);
    }

    // Hands finished buffers to the client on this object's thread, after
    // the handler that is running now has returned. Called from either
    // thread.
    void PostDone(std::deque<WaveHeader*> done)
    {
        if (done.empty())
            return;
        const quint64 nSession = m_nSession;
        QMetaObject::invokeMethod(
            this,
            [this, nSession, done = std::move(done)] {
                for (WaveHeader* pHeader : done)
                    if (nSession == m_nSession && m_pSinkTarget != nullptr)
                        m_pSinkTarget->OnWaveOutDone(pHeader);
            },
            Qt::QueuedConnection);
    }

    CSharedStream m_shared;
    QThread m_thread;
    CAudioPump* m_pPump = nullptr;  // lives in m_thread, deleted there
    IWaveOutSink* m_pSinkTarget = nullptr;
    bool m_bOpen = false;
    std::atomic<quint64> m_nSession = 0;  // counts Opens and Closes; stale posts compare it
};

}  // namespace

std::unique_ptr<IWaveOut> CreateQtWaveOut(QObject* parent)
{
    auto device = std::make_unique<CQtWaveOut>();
    if (parent != nullptr && parent->thread() != QThread::currentThread())
        device->moveToThread(parent->thread());
    return device;
}
