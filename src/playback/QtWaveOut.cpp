#include "playback/QtWaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

// The sink's own buffer. Buffers are returned only once played, so the sink
// must start playing on less than the two buffers a client keeps in flight.
constexpr qsizetype kSinkBufferBytes = 16384;
// How often finished buffers are looked for while any is queued.
constexpr int kPollMilliseconds = 5;
// A sink idle this long with its clock standing still has played all it read.
constexpr qint64 kStallMilliseconds = 1000;

// The pull device the sink reads: the written buffers, back to back. The
// sink may read on another thread than the one writing, hence the lock.
class CWaveFeed : public QIODevice {
public:
    struct Chunk {
        WaveHeader* pHeader;
        quint64 nStart;  // stream offset of its first byte
        quint64 nEnd;    // stream offset just past it
    };

    explicit CWaveFeed(QObject* parent) : QIODevice(parent) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }

    bool isSequential() const override { return true; }

    qint64 bytesAvailable() const override
    {
        std::lock_guard lock(m_mutex);
        return qint64(m_nWritten - m_nPulled) + QIODevice::bytesAvailable();
    }

    void Append(WaveHeader* pHeader)
    {
        {
            std::lock_guard lock(m_mutex);
            const quint64 nStart = m_nWritten;
            m_nWritten += pHeader->dwBufferLength;
            m_chunks.push_back(Chunk{pHeader, nStart, m_nWritten});
        }
        emit readyRead();
    }

    bool Contains(const WaveHeader* pHeader) const
    {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_chunks.begin(), m_chunks.end(), [&](const Chunk& c) { return c.pHeader == pHeader; });
    }

    bool IsEmpty() const
    {
        std::lock_guard lock(m_mutex);
        return m_chunks.empty();
    }

    quint64 Pulled() const
    {
        std::lock_guard lock(m_mutex);
        return m_nPulled;
    }

    // The oldest buffer if the sink has read all of it and played up to its
    // end; it is no longer read from once taken.
    WaveHeader* TakeFinished(quint64 nPlayed)
    {
        std::lock_guard lock(m_mutex);
        if (m_chunks.empty())
            return nullptr;
        const Chunk& c = m_chunks.front();
        if (c.nEnd > m_nPulled || c.nEnd > nPlayed)
            return nullptr;
        WaveHeader* pHeader = c.pHeader;
        m_chunks.pop_front();
        return pHeader;
    }

    // Every buffer still queued, oldest first; the stream starts afresh.
    std::deque<WaveHeader*> TakeAll()
    {
        std::lock_guard lock(m_mutex);
        std::deque<WaveHeader*> all;
        for (const Chunk& c : m_chunks)
            all.push_back(c.pHeader);
        m_chunks.clear();
        m_nWritten = 0;
        m_nPulled = 0;
        return all;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        std::lock_guard lock(m_mutex);
        qint64 nCopied = 0;
        for (const Chunk& c : m_chunks) {
            // Chunks read already wait here until they have been played.
            if (c.nEnd <= m_nPulled)
                continue;
            const quint64 nOffset = m_nPulled - c.nStart;
            const quint64 nTake = std::min<quint64>(c.nEnd - m_nPulled, quint64(maxSize - nCopied));
            std::memcpy(data + nCopied, c.pHeader->lpData + nOffset, nTake);
            nCopied += qint64(nTake);
            m_nPulled += nTake;
            if (nCopied == maxSize)
                break;
        }
        return nCopied;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    mutable std::mutex m_mutex;
    std::deque<Chunk> m_chunks;  // written and not yet returned
    quint64 m_nWritten = 0;      // bytes appended since the stream started
    quint64 m_nPulled = 0;       // bytes the sink has read
};

class CQtWaveOut : public QObject, public IWaveOut {
public:
    CQtWaveOut()
    {
        m_poll.setInterval(kPollMilliseconds);
        m_poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { DeliverFinished(); });
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
        if (m_pFeed != nullptr && m_pFeed->Contains(pHeader))
            return kQtWaveOutStillPlaying;
        if (m_pAudioSink == nullptr && !StartSink())
            return kQtWaveOutStartFailed;
        m_pFeed->Append(pHeader);
        if (!m_poll.isActive())
            m_poll.start();
        return 0;
    }

    int Reset() override
    {
        if (!m_bOpen)
            return kQtWaveOutNotOpen;
        std::deque<WaveHeader*> returned;
        if (m_pFeed != nullptr)
            returned = m_pFeed->TakeAll();
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
        if (m_pFeed != nullptr && !m_pFeed->IsEmpty())
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
        auto* pFeed = new CWaveFeed(pAudioSink);  // outlives the sink's reads
        pAudioSink->start(pFeed);
        if (pAudioSink->error() != QAudio::NoError || pAudioSink->state() == QAudio::StoppedState) {
            delete pAudioSink;
            return false;
        }
        m_pAudioSink = pAudioSink;
        m_pFeed = pFeed;
        m_nPlayedBytes = 0;
        m_nStallPulled = 0;
        m_stall.start();
        return true;
    }

    // Stops the sound at once; the sink goes later, from the event loop, as
    // its destruction may run events.
    void DropSink()
    {
        m_poll.stop();
        if (m_pAudioSink == nullptr)
            return;
        QAudioSink* pAudioSink = m_pAudioSink;
        m_pAudioSink = nullptr;
        m_pFeed = nullptr;
        pAudioSink->stop();
        pAudioSink->setParent(nullptr);
        if (QCoreApplication::instance() != nullptr)
            pAudioSink->deleteLater();
        else
            delete pAudioSink;
        m_nPlayedBytes = 0;
    }

    // Bytes heard since the stream started, whole frames, never more than
    // the sink has read and never going back.
    quint64 PlayedBytes()
    {
        if (m_pAudioSink == nullptr)
            return 0;
        const quint64 nFrameBytes = quint64(m_format.bytesPerFrame());
        const quint64 nPulled = m_pFeed->Pulled();
        const quint64 nUsecs = quint64(std::max<qint64>(m_pAudioSink->processedUSecs(), 0));
        // The sink counts whole microseconds: round to the nearest frame, or
        // the end of the stream would stay a frame short of what was played.
        const quint64 nFrames = (nUsecs * quint64(m_format.sampleRate()) + 500000u) / 1000000u;
        quint64 nBytes = std::min(nFrames * nFrameBytes, nPulled);
        if (nBytes != m_nPlayedBytes || nPulled != m_nStallPulled) {
            m_stall.restart();
            m_nStallPulled = nPulled;
        } else if (nPulled > nBytes && m_pAudioSink->state() == QAudio::IdleState &&
                   m_stall.elapsed() > kStallMilliseconds) {
            // The sink ran out of data long ago and its clock stands still:
            // what it read has been played, whatever its clock says.
            nBytes = nPulled;
        }
        m_nPlayedBytes = std::max(m_nPlayedBytes, nBytes - nBytes % nFrameBytes);
        return m_nPlayedBytes;
    }

    void DeliverFinished()
    {
        if (m_pFeed == nullptr) {
            m_poll.stop();
            return;
        }
        const quint64 nSession = m_nSession;
        if (m_pAudioSink->state() == QAudio::StoppedState) {
            // The sink died under us (the sound server went away): every
            // buffer comes back, so the client can end or try again.
            std::deque<WaveHeader*> returned = m_pFeed->TakeAll();
            DropSink();
            for (WaveHeader* pHeader : returned)
                if (nSession == m_nSession && m_pSinkTarget != nullptr)
                    m_pSinkTarget->OnWaveOutDone(pHeader);
            return;
        }
        while (m_pFeed != nullptr && nSession == m_nSession) {
            WaveHeader* pHeader = m_pFeed->TakeFinished(PlayedBytes());
            if (pHeader == nullptr)
                break;
            if (m_pSinkTarget != nullptr)
                m_pSinkTarget->OnWaveOutDone(pHeader);
        }
        if (m_pFeed == nullptr || m_pFeed->IsEmpty())
            m_poll.stop();
    }

    QAudioDevice m_device;
    QAudioFormat m_format;
    IWaveOutSink* m_pSinkTarget = nullptr;
    bool m_bOpen = false;
    quint64 m_nSession = 0;  // counts Opens and Closes; stale posts compare it
    QAudioSink* m_pAudioSink = nullptr;  // null until the first Write after Open or Reset
    CWaveFeed* m_pFeed = nullptr;        // child of m_pAudioSink
    quint64 m_nPlayedBytes = 0;
    QElapsedTimer m_stall;       // since the position or the bytes read last moved
    quint64 m_nStallPulled = 0;
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
