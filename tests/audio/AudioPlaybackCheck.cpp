// End-to-end check of looping playback through the real Qt wave output.
//
//   audio_playback_check --loop SECONDS [--device SOURCE]
//       plays a synthetic mono 44100 Hz sample with a loop for SECONDS while
//       recording SOURCE (default: the default sink's monitor) with parec,
//       then checks that what was recorded is sample for sample the stream
//       expected: frames × 16383 truncated toward zero, the loop repeated.
//   audio_playback_check --to-end [--device SOURCE]
//       the same sample without a loop: playback must stop by itself, and the
//       whole sample, to its last frame, must have been heard.
//   audio_playback_check --no-device
//       with no reachable output, Play must show "Unable to open sound output
//       device." and stay idle.
//
// Exit code 0 on success, 1 on a failed check, 2 on bad usage.
#include "document/QuorvelDoc.h"
#include "playback/LoopingPlayback.h"
#include "playback/QtWaveOut.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 52920;  // 1.2 s
constexpr int kLoopStart = 11025;
constexpr int kLoopEnd = 40000;

class CDriverHost : public IPlaybackHost {
public:
    CLoopingPlayback* m_pPlayback = nullptr;
    std::vector<std::string> m_messages;
    int m_nRedraws = 0;

    void PostStop() override
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { m_pPlayback->OnStop(); }, Qt::QueuedConnection);
    }
    void RedrawPlayCursor() override { ++m_nRedraws; }
    void ShowPlaybackMessage(const std::string& text) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        m_messages.push_back(text);
    }
};

// Noise-like values that never scale to 0, so the start of the sound and any
// misplaced sample are unmistakable.
void FillSample(CQuorvelDoc& doc)
{
    doc.m_nChannels = 1;
    doc.m_nFrameCount = kFrames;
    doc.m_nSampleRate = kRate;
    doc.m_bLoaded = true;
    doc.m_pSamples.resize(kFrames);
    std::uint32_t state = 12345;
    for (int f = 0; f < kFrames; ++f) {
        state = state * 1664525u + 1013904223u;
        const double u = double(state >> 8) / double(1u << 24);  // 0 … 1
        const double magnitude = 0.05 + 0.9 * u;
        doc.m_pSamples[std::size_t(f)] = ((state >> 3) & 1) ? magnitude : -magnitude;
    }
}

std::vector<std::int16_t> ExpectedStream(const CQuorvelDoc& doc, bool bLoop, std::size_t nCount)
{
    std::vector<std::int16_t> out;
    int pos = 0;
    while (out.size() < nCount && pos < doc.m_nFrameCount) {
        out.push_back(std::int16_t(int(doc.m_pSamples[std::size_t(pos)] * 16383.0)));
        ++pos;
        if (bLoop && pos >= kLoopEnd)
            pos = kLoopStart;
    }
    return out;
}

void Wait(int nMilliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(nMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitUntil(const std::function<bool()>& done, int nTimeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > nTimeoutMs)
            return false;
        Wait(10);
    }
    return true;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    return 1;
}

int CheckNoDevice()
{
    CQuorvelDoc doc;
    FillSample(doc);
    auto pOut = CreateQtWaveOut();
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);
    playback.m_nPlayPos = 500;
    playback.OnPlay();
    Wait(200);
    if (host.m_messages != std::vector<std::string>{"Unable to open sound output device."})
        return Fail("expected exactly the message \"Unable to open sound output device.\"");
    if (playback.m_bPlaying)
        return Fail("playback is running without a device");
    if (playback.m_nPlayPos != 0)
        return Fail("the play position was not reset to frame 0");
    std::printf("no device: message shown, playback idle\n");
    return 0;
}

int CheckHeard(bool bLoop, double dSeconds, const QString& source)
{
    CQuorvelDoc doc;
    FillSample(doc);
    if (bLoop) {
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = kLoopStart;
        doc.m_nLoopEnd = kLoopEnd;
    }

    QProcess recorder;
    QStringList args{"--raw", "--format=s16le", QString("--rate=%1").arg(kRate), "--channels=1",
                     "--latency-msec=20"};
    if (!source.isEmpty())
        args << QString("--device=%1").arg(source);
    QByteArray recorded;
    QObject::connect(&recorder, &QProcess::readyReadStandardOutput, [&] { recorded += recorder.readAllStandardOutput(); });
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start("parec", args);
    if (!recorder.waitForStarted(5000))
        return Fail("parec did not start");
    // The null sink renders silence while idle: bytes arriving prove the
    // recording runs before the sound starts.
    if (!WaitUntil([&] { return recorded.size() > 4410; }, 5000))
        return Fail("parec records nothing");

    auto pOut = CreateQtWaveOut();
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);

    QTimer cursorTimer;
    std::int32_t nMaxCursor = 0;
    QObject::connect(&cursorTimer, &QTimer::timeout, [&] {
        playback.OnTimer(CLoopingPlayback::kTimerId);
        if (playback.m_bPlaying)
            nMaxCursor = std::max(nMaxCursor, playback.m_nPlayPos);
    });
    cursorTimer.start(20);

    playback.OnPlay();
    if (!playback.m_bPlaying)
        return Fail("playback did not start");
    if (bLoop) {
        Wait(int(dSeconds * 1000));
        if (!playback.m_bPlaying)
            return Fail("looping playback stopped by itself");
        playback.OnPlay();  // Play while playing posts Stop
        if (!WaitUntil([&] { return !playback.m_bPlaying; }, 2000))
            return Fail("the posted Stop was not handled");
    } else {
        const int nMaxMs = int(1000.0 * kFrames / kRate) + 3000;
        if (!WaitUntil([&] { return !playback.m_bPlaying; }, nMaxMs))
            return Fail("playback without a loop did not stop by itself");
        if (playback.m_nPlayPos != kFrames)
            return Fail("the cursor did not end at the frame count");
    }
    cursorTimer.stop();
    Wait(500);  // the tail of the recording: silence
    recorder.terminate();
    recorder.waitForFinished(5000);
    recorded += recorder.readAllStandardOutput();

    if (!host.m_messages.empty())
        return Fail("playback showed a message");
    if (nMaxCursor <= 0 || nMaxCursor > (bLoop ? kLoopEnd : kFrames))
        return Fail("the play cursor did not move within the sample");

    if (const QByteArray dump = qgetenv("RINGSEAM_AUDIO_DUMP"); !dump.isEmpty()) {
        QFile file(QString::fromLocal8Bit(dump));
        if (file.open(QIODevice::WriteOnly))
            file.write(recorded);
    }
    std::vector<std::int16_t> rec(std::size_t(recorded.size()) / 2);
    for (std::size_t i = 0; i < rec.size(); ++i)
        rec[i] = std::int16_t(std::uint8_t(recorded[qsizetype(2 * i)]) | (std::uint8_t(recorded[qsizetype(2 * i + 1)]) << 8));

    std::size_t nFirst = 0;
    while (nFirst < rec.size() && rec[nFirst] == 0)
        ++nFirst;
    if (nFirst == rec.size())
        return Fail("only silence was recorded");

    const std::vector<std::int16_t> expected = ExpectedStream(doc, bLoop, rec.size() - nFirst);
    std::size_t nMatched = 0;
    while (nFirst + nMatched < rec.size() && nMatched < expected.size() && rec[nFirst + nMatched] == expected[nMatched])
        ++nMatched;
    std::size_t nNonZeroAfter = 0;
    for (std::size_t i = nFirst + nMatched; i < rec.size(); ++i)
        if (rec[i] != 0)
            ++nNonZeroAfter;

    std::printf("recorded %zu samples, sound from %zu, %zu samples (%.3f s) exact, %zu non-zero samples after\n",
                rec.size(), nFirst, nMatched, double(nMatched) / kRate, nNonZeroAfter);
    if (nNonZeroAfter != 0) {
        const std::size_t i = nFirst + nMatched;
        std::fprintf(stderr, "first difference at stream position %zu: recorded %d, expected %d\n", nMatched,
                     i < rec.size() ? rec[i] : 0, nMatched < expected.size() ? expected[nMatched] : 0);
        return Fail("the recording differs from the expected stream (a gap, a glitch or a changed sample)");
    }
    if (bLoop && nMatched < std::size_t(2 * kRate))
        return Fail("less than two seconds of the loop were heard sample-exact");
    if (!bLoop && nMatched != std::size_t(kFrames))
        return Fail("the sample was not heard completely, to its last frame");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString source;
    const qsizetype nDevice = args.indexOf("--device");
    if (nDevice > 0 && nDevice + 1 < args.size())
        source = args[nDevice + 1];

    if (args.contains("--no-device"))
        return CheckNoDevice();
    if (args.contains("--to-end"))
        return CheckHeard(false, 0.0, source);
    const qsizetype nLoop = args.indexOf("--loop");
    if (nLoop > 0 && nLoop + 1 < args.size())
        return CheckHeard(true, args[nLoop + 1].toDouble(), source);
    std::fprintf(stderr, "usage: %s --loop SECONDS | --to-end | --no-device [--device SOURCE]\n", argv[0]);
    return 2;
}
