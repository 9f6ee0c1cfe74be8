#include "playback/QtWaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <deque>

namespace {

// The sink's own buffer. Buffers are returned only once played, so the sink
// must start playing on less than the two buffers a client keeps in flight.
constexpr qsizetype kSinkBufferBytes = 16384;
// How often the sink is topped up and finished buffers are looked for while
// any is queued.
constexpr int kPollMilliseconds = 5;
// A sink idle this long with its clock standing still has played all it got.
constexpr qint64 kStallMilliseconds = 1000;
// The sink's clock runs on between its updates and may claim the end of the
// stream a little early: the last buffer queued is returned only this long
// after its end seemed played, so that a Stop it triggers cuts nothing.
constexpr qint64 kLastBufferGuardMilliseconds = 100;
// How long a stopped sink object is kept before it is deleted.
constexpr int kSinkLingerMilliseconds = 2000;

// The written buffers, back to back, as one stream: what has been handed to
// the sink so far, and which buffers are still owed back to the client.
class CWaveQueue {
public:
    void Append(WaveHeader* pHeader)
    {
        const quint64 nStart = m_nWritten;
        m_nWritten += pHeader->dwBufferLength;
        m_chunks.push_back(Chunk{pHeader, nStart, m_nWritten});
    }

    bool Contains(const WaveHeader* pHeader) const
    {
        return std::any_of(m_chunks.begin(), m_chunks.end(), [&](const Chunk& c) { return c.pHeader == pHeader; });
    }

    bool IsEmpty() const { return m_chunks.empty(); }
    quint64 Pushed() const { return m_nPushed; }

    // Hands the sink as much as it takes now.
    void PushInto(QIODevice* pTarget, qint64 nFree)
    {
        for (const Chunk& c : m_chunks) {
            if (nFree <= 0)
                break;
            if (c.nEnd <= m_nPushed)
                continue;
            const quint64 nOffset = m_nPushed - c.nStart;
            const qint64 nWant = std::min<qint64>(qint64(c.nEnd - m_nPushed), nFree);
            const qint64 nDone =
                pTarget->write(reinterpret_cast<const char*>(c.pHeader->lpData + nOffset), nWant);
            if (nDone <= 0)
                break;
            m_nPushed += quint64(nDone);
            nFree -= nDone;
            if (nDone < nWant)
                break;
        }
    }

    // The oldest buffer if all of it was handed over and played (the last
    // one queued only after the guard time); the client may reuse it at
    // once, since the sink keeps its own copy.
    WaveHeader* TakeFinished(quint64 nPlayed)
    {
        if (m_chunks.empty())
            return nullptr;
        const Chunk& c = m_chunks.front();
        if (c.nEnd > m_nPushed || c.nEnd > nPlayed) {
            m_lastEnded.invalidate();
            return nullptr;
        }
        if (m_chunks.size() == 1) {
            if (!m_lastEnded.isValid())
                m_lastEnded.start();
            if (m_lastEnded.elapsed() < kLastBufferGuardMilliseconds)
                return nullptr;
        }
        m_lastEnded.invalidate();
        WaveHeader* pHeader = c.pHeader;
        m_chunks.pop_front();
        return pHeader;
    }

    // Every buffer still owed, oldest first; the stream starts afresh.
    std::deque<WaveHeader*> TakeAll()
    {
        std::deque<WaveHeader*> all;
        for (const Chunk& c : m_chunks)
            all.push_back(c.pHeader);
        m_chunks.clear();
        m_nWritten = 0;
        m_nPushed = 0;
        m_lastEnded.invalidate();
        return all;
    }

private:
    struct Chunk {
        WaveHeader* pHeader;
        quint64 nStart;  // stream offset of its first byte
        quint64 nEnd;    // stream offset just past it
    };
    std::deque<Chunk> m_chunks;  // written and not yet returned
    quint64 m_nWritten = 0;      // bytes written since the stream started
    quint64 m_nPushed = 0;       // bytes handed to the sink
    QElapsedTimer m_lastEnded;   // since the last buffer queued seemed played
};

class CQtWaveOut : public QObject, public IWaveOut {
public:
    CQtWaveOut()
    {
        m_poll.setInterval(kPollMilliseconds);
        m_poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { OnPoll(); });
    }

    ~CQtWaveOut() override { DropSink(); }

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

        m_device = device;
        m_format = format;
        m_pSinkTarget = pSink;
        m_bOpen = true;
        ++m_nSession;
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
        if (m_queue.Contains(pHeader))
            return kQtWaveOutStillPlaying;
        if (m_pAudioSink == nullptr && !StartSink())
            return kQtWaveOutStartFailed;
        m_queue.Append(pHeader);
        Push();
        if (!m_poll.isActive())
            m_poll.start();
        return 0;
    }

    int Reset() override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        const std::deque<WaveHeader*> returned = m_queue.TakeAll();
        DropSink();
        // Posted, so that the client's own handler has returned first.
        const quint64 nSession = m_nSession;
        for (WaveHeader* pHeader : returned) {
            QMetaObject::invokeMethod(
                this,
                [this, nSession, pHeader] {
                    if (nSession == m_nSession && m_pSinkTarget != nullptr)
                        m_pSinkTarget->OnWaveOutDone(pHeader);
                },
                Qt::QueuedConnection);
        }
        return 0;
    }

    int Close() override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        if (!m_queue.IsEmpty())
            return kQtWaveOutStillPlaying;
        DropSink();
        ++m_nSession;  // notifications still posted are dropped
        m_pSinkTarget = nullptr;
        m_bOpen = false;
        return 0;
    }

    std::uint64_t GetPositionBytes() override { return PlayedBytes(); }

private:
    bool StartSink()
    {
        auto* pAudioSink = new QAudioSink(m_device, m_format, this);
        pAudioSink->setBufferSize(kSinkBufferBytes);
        QIODevice* pInput = pAudioSink->start();
        if (pInput == nullptr || pAudioSink->error() != QAudio::NoError ||
            pAudioSink->state() == QAudio::StoppedState) {
            delete pAudioSink;
            return false;
        }
        m_pAudioSink = pAudioSink;
        m_pInput = pInput;
        m_nPlayedBytes = 0;
        m_nStallPushed = 0;
        m_stall.start();
        return true;
    }

    // Stops the sound at once. The sink object itself goes a while later:
    // Qt's PulseAudio backend may still call into it from its own thread for
    // a moment after stop() (a drain it started when the stream ran dry).
    void DropSink()
    {
        m_poll.stop();
        if (m_pAudioSink == nullptr)
            return;
        QAudioSink* pAudioSink = m_pAudioSink;
        m_pAudioSink = nullptr;
        m_pInput = nullptr;
        pAudioSink->stop();
        pAudioSink->setParent(nullptr);
        if (QCoreApplication::instance() != nullptr)
            QTimer::singleShot(kSinkLingerMilliseconds, pAudioSink, &QObject::deleteLater);
        else
            delete pAudioSink;
        m_nPlayedBytes = 0;
    }

    // Fills the sink's buffer up: all of its free space, so that it reaches
    // the amount it waits for before it starts playing.
    void Push()
    {
        if (m_pAudioSink != nullptr && m_pInput != nullptr)
            m_queue.PushInto(m_pInput, m_pAudioSink->bytesFree());
    }

    // Bytes heard since the stream started, whole frames, never more than
    // the sink was given and never going back.
    quint64 PlayedBytes()
    {
        if (m_pAudioSink == nullptr)
            return 0;
        const quint64 nFrameBytes = quint64(m_format.bytesPerFrame());
        const quint64 nPushed = m_queue.Pushed();
        const quint64 nUsecs = quint64(std::max<qint64>(m_pAudioSink->processedUSecs(), 0));
        // The sink counts whole microseconds: round to the nearest frame, or
        // the end of the stream would stay a frame short of what was played.
        const quint64 nFrames = (nUsecs * quint64(m_format.sampleRate()) + 500000u) / 1000000u;
        quint64 nBytes = std::min(nFrames * nFrameBytes, nPushed);
        if (nBytes != m_nPlayedBytes || nPushed != m_nStallPushed) {
            m_stall.restart();
            m_nStallPushed = nPushed;
        } else if (nPushed > nBytes && m_pAudioSink->state() == QAudio::IdleState &&
                   m_stall.elapsed() > kStallMilliseconds) {
            // The sink ran out of data long ago and its clock stands still:
            // what it was given has been played, whatever its clock says.
            nBytes = nPushed;
        }
        m_nPlayedBytes = std::max(m_nPlayedBytes, nBytes - nBytes % nFrameBytes);
        return m_nPlayedBytes;
    }

    void OnPoll()
    {
        if (m_pAudioSink == nullptr) {
            m_poll.stop();
            return;
        }
        const quint64 nSession = m_nSession;
        if (m_pAudioSink->state() == QAudio::StoppedState) {
            // The sink died under us (the sound server went away): every
            // buffer comes back, so the client can end or try again.
            const std::deque<WaveHeader*> returned = m_queue.TakeAll();
            DropSink();
            for (WaveHeader* pHeader : returned)
                if (nSession == m_nSession && m_pSinkTarget != nullptr)
                    m_pSinkTarget->OnWaveOutDone(pHeader);
            return;
        }
        Push();
        while (m_pAudioSink != nullptr && nSession == m_nSession) {
            WaveHeader* pHeader = m_queue.TakeFinished(PlayedBytes());
            if (pHeader == nullptr)
                break;
            // The client may write again (or reset, or close) from here.
            if (m_pSinkTarget != nullptr)
                m_pSinkTarget->OnWaveOutDone(pHeader);
        }
        if (m_pAudioSink == nullptr || m_queue.IsEmpty())
            m_poll.stop();
    }

    QAudioDevice m_device;
    QAudioFormat m_format;
    IWaveOutSink* m_pSinkTarget = nullptr;
    bool m_bOpen = false;
    quint64 m_nSession = 0;              // counts Opens and Closes; stale posts compare it
    QAudioSink* m_pAudioSink = nullptr;  // null until the first Write after Open or Reset
    QIODevice* m_pInput = nullptr;       // the sink's own input, valid while it runs
    CWaveQueue m_queue;
    quint64 m_nPlayedBytes = 0;
    QElapsedTimer m_stall;  // since the position or the bytes pushed last moved
    quint64 m_nStallPushed = 0;
    QTimer m_poll{this};
};

}  // namespace

std::unique_ptr<IWaveOut> CreateQtWaveOut(QObject* parent)
{
    auto device = std::make_unique<CQtWaveOut>();
    if (parent != nullptr && parent->thread() != QThread::currentThread())
        device->moveToThread(parent->thread());
    return device;
}
