// End-to-end checks of playback through the real Qt wave output, against a
// PulseAudio null sink whose format equals the sample's (nothing resampled).
//
//   audio_playback_check --loop SECONDS [options]
//       plays a synthetic sample with a loop for SECONDS while recording the
//       sink's monitor with parec, then checks that the recording is, sample
//       for sample, the stream expected: frames × 16383 truncated toward
//       zero, the loop repeated, and silence once stopped.
//   audio_playback_check --to-end [options]
//       the same sample without a loop: playback stops by itself, and the
//       whole sample, to its last frame, has been heard.
//   audio_playback_check --device-semantics [options]
//       the wave output's own contract: done notifications in order, never
//       inside Write or Reset; Reset returns every buffer; Close drops what
//       is not yet delivered; refusals of misuse and of unsupported formats.
//   audio_playback_check --lose-server PIDFILE
//       the sound server (its process id in PIDFILE) is killed while a loop
//       plays: "Sound error." is shown and playback ends by itself.
//   audio_playback_check --no-device
//       with no reachable output, Play shows "Unable to open sound output
//       device." and stays idle.
//
//   audio_playback_check --loop-change --deep [options]
//       while a loop plays, a loop before it is set: the recording must be
//       the old stream up to a point, the new loop's from there, and that
//       point heard within 100 ms of the change; Stop silences within 50 ms.
//
// Options: --sink NAME (made the default output first; its monitor is
// recorded), --channels N, --rate HZ, --frames N (the sample's length; 1.2 s
// when not given), --deep (the program's own output, which renders the loop
// on its own audio thread, instead of the Qt wave output), --ui-stall
// SECONDS (with --loop: the user-interface thread blocks that long while
// playing; nothing may be missing from the sound). Exit code 0 on success, 1 on a failed
// check, 2 on bad usage.
#include "document/QuorvelDoc.h"
#include "playback/LoopingPlayback.h"
#include "playback/PulseLoopOut.h"
#include "playback/QtWaveOut.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    int nChannels = 1;
    int nRate = 44100;
    int nFrames = 0;  // of the sample played; 0: 1.2 s
    QString strSink;  // empty: the default output as it is
    bool bDeep = false;      // the program's own output instead of the Qt one
    double dStallSeconds = 0;  // the user-interface thread blocked while a loop plays
};

std::unique_ptr<IWaveOut> CreateOutput(const Options& opt)
{
    return opt.bDeep ? CreateDeepWaveOut() : CreateQtWaveOut();
}

class CDriverHost : public IPlaybackHost {
public:
    CLoopingPlayback* m_pPlayback = nullptr;
    std::vector<std::string> m_messages;

    void PostStop() override
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { m_pPlayback->OnStop(); }, Qt::QueuedConnection);
    }
    void RedrawPlayCursor() override {}
    void ShowPlaybackMessage(const std::string& text) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        m_messages.push_back(text);
    }
};

// 1.2 s of noise-like values that never scale to 0, so the start of the
// sound and any misplaced sample are unmistakable; the loop covers most of it.
void FillSample(CQuorvelDoc& doc, const Options& opt)
{
    doc.m_nChannels = opt.nChannels;
    doc.m_nSampleRate = opt.nRate;
    doc.m_nFrameCount = opt.nFrames > 0 ? opt.nFrames : opt.nRate * 6 / 5;
    doc.m_bLoaded = true;
    doc.m_pSamples.resize(std::size_t(doc.m_nFrameCount) * std::size_t(opt.nChannels));
    std::uint32_t state = 12345;
    for (double& value : doc.m_pSamples) {
        state = state * 1664525u + 1013904223u;
        const double magnitude = 0.05 + 0.9 * double(state >> 8) / double(1u << 24);
        value = ((state >> 3) & 1) != 0 ? magnitude : -magnitude;
    }
}

void SetLoop(CQuorvelDoc& doc)
{
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = doc.m_nSampleRate / 4;
    doc.m_nLoopEnd = doc.m_nFrameCount - doc.m_nSampleRate / 4 + 17;
}

std::vector<std::int16_t> ExpectedStream(const CQuorvelDoc& doc, std::size_t nSamples)
{
    std::vector<std::int16_t> out;
    int pos = 0;
    while (out.size() < nSamples && pos < doc.m_nFrameCount) {
        for (int c = 0; c < doc.m_nChannels; ++c)
            out.push_back(std::int16_t(int(doc.GetSample(pos, c) * 16383.0)));
        ++pos;
        if (doc.m_bHasLoop && pos >= doc.m_nLoopEnd)
            pos = doc.m_nLoopStart;
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
        Wait(5);
    }
    return true;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    return 1;
}

// Makes the sink the default output and waits until Qt sees it so.
bool SelectSink(const QString& strSink)
{
    if (strSink.isEmpty())
        return true;
    if (QProcess::execute("pactl", {"set-default-sink", strSink}) != 0)
        return false;
    return WaitUntil([&] { return QMediaDevices::defaultAudioOutput().id() == strSink.toUtf8(); }, 5000);
}

int CheckNoDevice(const Options& opt)
{
    CQuorvelDoc doc;
    FillSample(doc, opt);
    auto pOut = CreateOutput(opt);
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

class CCollectingSink : public IWaveOutSink {
public:
    void OnWaveOutDone(WaveHeader* pHeader) override
    {
        if (m_bInsideCall)
            ++m_nInsideCalls;
        m_done.push_back(pHeader);
    }
    bool m_bInsideCall = false;
    int m_nInsideCalls = 0;
    std::vector<WaveHeader*> m_done;
};

int CheckDeviceSemantics(const Options& opt)
{
    auto pOut = CreateQtWaveOut();
    CCollectingSink sink;
    std::vector<std::uint8_t> data[2];
    WaveHeader hdr[2];
    for (int i = 0; i < 2; ++i) {
        data[i].assign(16384, std::uint8_t(0x10 + i));
        hdr[i].lpData = data[i].data();
        hdr[i].dwBufferLength = 16384;
    }
    const std::uint64_t nBlock = std::uint64_t(opt.nChannels) * 2;

    if (pOut->Open(opt.nChannels, 400000, &sink) == 0)
        return Fail("a rate of 400000 Hz was accepted");
    if (pOut->Write(&hdr[0]) == 0)
        return Fail("Write on a closed device succeeded");
    if (pOut->Open(opt.nChannels, opt.nRate, &sink) != 0)
        return Fail("Open failed");

    sink.m_bInsideCall = true;
    const bool bWritten = pOut->PrepareHeader(&hdr[0]) == 0 && pOut->Write(&hdr[0]) == 0 &&
                          pOut->PrepareHeader(&hdr[1]) == 0 && pOut->Write(&hdr[1]) == 0;
    const bool bRefusedTwice = pOut->Write(&hdr[0]) != 0;
    const bool bRefusedClose = pOut->Close() != 0;
    sink.m_bInsideCall = false;
    if (!bWritten)
        return Fail("writing two buffers failed");
    if (!bRefusedTwice)
        return Fail("a buffer still queued was accepted again");
    if (!bRefusedClose)
        return Fail("Close with buffers playing was accepted");

    // The first buffer comes back once the server has it, before it is
    // heard; the last one written waits until it has been heard, so a
    // client that ends when it comes back cuts nothing off.
    std::uint64_t nLast = 0;
    bool bMonotonic = true;
    auto waitWatchingPosition = [&](const std::function<bool()>& done) {
        return WaitUntil(
            [&] {
                const std::uint64_t n = pOut->GetPositionBytes();
                bMonotonic = bMonotonic && n >= nLast && n % nBlock == 0 && n <= 32768;
                nLast = n;
                return done();
            },
            3000);
    };
    if (!waitWatchingPosition([&] { return !sink.m_done.empty(); }) || sink.m_done.front() != &hdr[0])
        return Fail("the first buffer did not come back first");
    if (sink.m_done.size() != 1)
        return Fail("the last buffer came back with the first, before it was heard");
    if (!waitWatchingPosition([&] { return sink.m_done.size() == 2; }) || sink.m_done[1] != &hdr[1])
        return Fail("the second buffer did not come back");
    if (pOut->GetPositionBytes() != 32768)
        return Fail("the last buffer came back before all of it was heard");
    if (!bMonotonic)
        return Fail("the position went back, split a frame or passed what was written");

    // Reset returns what is queued, later, and the position starts again.
    sink.m_done.clear();
    pOut->Write(&hdr[0]);
    pOut->Write(&hdr[1]);
    Wait(50);
    sink.m_bInsideCall = true;
    const int nReset = pOut->Reset();
    sink.m_bInsideCall = false;
    if (nReset != 0 || pOut->GetPositionBytes() != 0)
        return Fail("Reset failed or left a position");
    if (!WaitUntil([&] { return sink.m_done.size() == 2; }, 1000) || sink.m_done[0] != &hdr[0] ||
        sink.m_done[1] != &hdr[1])
        return Fail("Reset did not return both buffers in order");
    if (sink.m_nInsideCalls != 0)
        return Fail("a done notification arrived inside Write, Close or Reset");

    // Close drops notifications not yet delivered.
    sink.m_done.clear();
    pOut->Write(&hdr[0]);
    pOut->Reset();
    if (pOut->Close() != 0)
        return Fail("Close after Reset failed");
    Wait(300);
    if (!sink.m_done.empty())
        return Fail("a notification arrived after Close");
    if (pOut->Close() == 0)
        return Fail("Close of a closed device succeeded");

    // The device opens again after Close.
    if (pOut->Open(opt.nChannels, opt.nRate, &sink) != 0 || pOut->Write(&hdr[1]) != 0)
        return Fail("the device did not open again");
    if (!WaitUntil([&] { return sink.m_done.size() == 1; }, 3000))
        return Fail("the buffer written after reopening did not come back");
    pOut->Close();
    std::printf("wave output contract holds\n");
    return 0;
}

int CheckServerLost(const QString& strPidFile, const Options& opt)
{
    CQuorvelDoc doc;
    FillSample(doc, opt);
    SetLoop(doc);
    auto pOut = CreateOutput(opt);
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);
    QTimer cursorTimer;
    QObject::connect(&cursorTimer, &QTimer::timeout, [&] { playback.OnTimer(CLoopingPlayback::kTimerId); });
    cursorTimer.start(20);

    playback.OnPlay();
    if (!playback.m_bPlaying)
        return Fail("playback did not start");
    Wait(1000);
    QFile pidFile(strPidFile);
    if (!pidFile.open(QIODevice::ReadOnly))
        return Fail("the server's pid file cannot be read");
    const QString strPid = QString::fromLatin1(pidFile.readAll()).trimmed();
    if (strPid.isEmpty() || QProcess::execute("kill", {"-9", strPid}) != 0)
        return Fail("the server could not be killed");
    if (!WaitUntil([&] { return !playback.m_bPlaying; }, 5000))
        return Fail("playback did not end after the server was lost");
    if (host.m_messages.empty() || host.m_messages.front() != "Sound error.")
        return Fail("\"Sound error.\" was not shown");
    std::printf("server lost: %zu message(s), playback idle\n", host.m_messages.size());
    return 0;
}

// s16le bytes recorded from a monitor as samples.
std::vector<std::int16_t> ToSamples(const QByteArray& bytes)
{
    std::vector<std::int16_t> out(std::size_t(bytes.size()) / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::int16_t(std::uint8_t(bytes[qsizetype(2 * i)]) | (std::uint8_t(bytes[qsizetype(2 * i + 1)]) << 8));
    return out;
}

int CheckHeard(bool bLoop, double dSeconds, const Options& opt)
{
    CQuorvelDoc doc;
    FillSample(doc, opt);
    if (bLoop)
        SetLoop(doc);

    QProcess recorder;
    QStringList args{"--raw", "--format=s16le", QString("--rate=%1").arg(opt.nRate),
                     QString("--channels=%1").arg(opt.nChannels), "--latency-msec=20"};
    if (!opt.strSink.isEmpty())
        args << QString("--device=%1.monitor").arg(opt.strSink);
    QByteArray recorded;
    QObject::connect(&recorder, &QProcess::readyReadStandardOutput, [&] { recorded += recorder.readAllStandardOutput(); });
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start("parec", args);
    if (!recorder.waitForStarted(5000))
        return Fail("parec did not start");
    // The null sink renders silence while idle: bytes arriving prove the
    // recording runs before the sound starts.
    if (!WaitUntil([&] { return recorded.size() > opt.nRate / 10; }, 5000))
        return Fail("parec records nothing");

    auto pOut = CreateOutput(opt);
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);

    // The cursor, ticked as the view's timer does, must stay in the sample
    // and, with a loop, never pass the loop end.
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
        if (opt.dStallSeconds > 0) {
            Wait(500);
            std::this_thread::sleep_for(std::chrono::duration<double>(opt.dStallSeconds));
        }
        Wait(int(dSeconds * 1000));
        if (!playback.m_bPlaying)
            return Fail("looping playback stopped by itself");
        playback.OnPlay();  // Play while playing posts Stop
        if (!WaitUntil([&] { return !playback.m_bPlaying; }, 2000))
            return Fail("the posted Stop was not handled");
    } else {
        const int nMaxMs = int(1000.0 * doc.m_nFrameCount / doc.m_nSampleRate) + 3000;
        if (!WaitUntil([&] { return !playback.m_bPlaying; }, nMaxMs))
            return Fail("playback without a loop did not stop by itself");
        if (playback.m_nPlayPos != doc.m_nFrameCount)
            return Fail("the cursor did not end at the frame count");
    }
    cursorTimer.stop();
    Wait(500);  // the tail of the recording: silence
    recorder.terminate();
    recorder.waitForFinished(5000);
    recorded += recorder.readAllStandardOutput();
    Wait(300);  // let the server's notices about the ended recording arrive

    if (!host.m_messages.empty())
        return Fail("playback showed a message");
    if (nMaxCursor <= 0 || (bLoop ? nMaxCursor >= doc.m_nLoopEnd : nMaxCursor > doc.m_nFrameCount))
        return Fail("the play cursor did not move within the sample");

    if (const QByteArray dump = qgetenv("RINGSEAM_AUDIO_DUMP"); !dump.isEmpty()) {
        QFile file(QString::fromLocal8Bit(dump));
        if (file.open(QIODevice::WriteOnly))
            file.write(recorded);
    }
    const std::vector<std::int16_t> rec = ToSamples(recorded);

    // Align on the first sound: the stream's first sample is never 0. The
    // recording holds whole frames, so the first sound starts a frame.
    std::size_t nFirst = 0;
    while (nFirst < rec.size() && rec[nFirst] == 0)
        ++nFirst;
    if (nFirst == rec.size())
        return Fail("only silence was recorded");
    nFirst -= nFirst % std::size_t(opt.nChannels);

    const std::vector<std::int16_t> expected = ExpectedStream(doc, rec.size() - nFirst);
    std::size_t nMatched = 0;
    while (nFirst + nMatched < rec.size() && nMatched < expected.size() && rec[nFirst + nMatched] == expected[nMatched])
        ++nMatched;
    std::size_t nNonZeroAfter = 0;
    for (std::size_t i = nFirst + nMatched; i < rec.size(); ++i)
        if (rec[i] != 0)
            ++nNonZeroAfter;

    const std::size_t nFramesMatched = nMatched / std::size_t(opt.nChannels);
    std::printf("%d ch, %d Hz: recorded %zu samples, sound from %zu, %zu frames (%.3f s) exact, %zu non-zero "
                "samples after\n",
                opt.nChannels, opt.nRate, rec.size(), nFirst, nFramesMatched, double(nFramesMatched) / opt.nRate,
                nNonZeroAfter);
    if (nNonZeroAfter != 0) {
        const std::size_t i = nFirst + nMatched;
        std::fprintf(stderr, "first difference at stream sample %zu: recorded %d, expected %d\n", nMatched,
                     i < rec.size() ? rec[i] : 0, nMatched < expected.size() ? expected[nMatched] : 0);
        return Fail("the recording differs from the expected stream (a gap, a glitch or a changed sample)");
    }
    if (bLoop && nFramesMatched < std::size_t(2 * opt.nRate))
        return Fail("less than two seconds of the loop were heard sample-exact");
    if (!bLoop && nFramesMatched != std::size_t(doc.m_nFrameCount))
        return Fail("the sample was not heard completely, to its last frame");
    return 0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The sink's monitor recorded in small fragments, each arriving a few
// milliseconds after the sink rendered its last frame, so that the time any
// recorded sample was rendered is known. onArrival runs at each arrival.
class CMonitor {
public:
    CMonitor(const Options& opt, std::function<void(std::size_t nSamples)> onArrival)
        : m_opt(opt), m_onArrival(std::move(onArrival))
    {
        m_clock.start();
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] {
            m_recorded += m_parec.readAllStandardOutput();
            m_arrivals.emplace_back(std::size_t(m_recorded.size()) / 2, Now());
            if (m_onArrival)
                m_onArrival(m_arrivals.back().first);
        });
        m_parec.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_parec.start("parec", {"--raw", "--format=s16le", QString("--rate=%1").arg(opt.nRate),
                                QString("--channels=%1").arg(opt.nChannels), "--latency-msec=5",
                                QString("--device=%1.monitor").arg(opt.strSink)});
    }
    bool Started() { return m_parec.waitForStarted(5000) && WaitUntil([&] { return m_recorded.size() > 4096; }, 5000); }
    std::vector<std::int16_t> Finish()
    {
        m_parec.terminate();
        m_parec.waitForFinished(5000);
        return ToSamples(m_recorded);
    }
    double Now() const { return double(m_clock.nsecsElapsed()) / 1e6; }
    // When recorded sample i reached the sink: its fragment's arrival, less
    // the frames behind it in that fragment.
    double RenderedMs(std::size_t i) const
    {
        const auto it = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), i,
                                         [](std::size_t n, const auto& a) { return n < a.first; });
        if (it == m_arrivals.end())
            return m_arrivals.empty() ? 0.0 : m_arrivals.back().second;
        return it->second - 1000.0 * double(it->first - i - 1) / m_opt.nChannels / m_opt.nRate;
    }

private:
    const Options& m_opt;
    std::function<void(std::size_t)> m_onArrival;
    QElapsedTimer m_clock;
    QProcess m_parec;
    QByteArray m_recorded;
    std::vector<std::pair<std::size_t, double>> m_arrivals;
};

// The first sound starts a frame (the stream's first sample is never 0);
// the end is past the last non-zero sample.
std::pair<std::size_t, std::size_t> SoundSpan(const std::vector<std::int16_t>& rec, std::size_t nChannels)
{
    const auto first = std::find_if(rec.begin(), rec.end(), [](std::int16_t v) { return v != 0; });
    const std::size_t nFirst = std::size_t(first - rec.begin()) / nChannels * nChannels;
    std::size_t nEnd = rec.size();
    while (nEnd > nFirst && rec[nEnd - 1] == 0)
        --nEnd;
    return {nFirst, nEnd};
}

// How soon the sound starts after Play, how closely the position that moves
// the play cursor follows what the sink plays, and how soon Stop silences
// it, all measured at the sink's monitor over several Play / Stop trials.
// The program's own output is given a sample without a loop, long enough
// for a trial, so that its cursor counts the frames heard.
int CheckTiming(Options opt, int nTrials)
{
    CQuorvelDoc doc;
    if (opt.bDeep)
        opt.nFrames = 3 * opt.nRate;
    FillSample(doc, opt);
    if (!opt.bDeep)
        SetLoop(doc);
    auto pOut = CreateOutput(opt);
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);
    const std::size_t nChannels = std::size_t(opt.nChannels);
    auto heardFrames = [&]() -> std::uint64_t {
        if (!opt.bDeep)
            return pOut->GetPositionBytes() / 2 / nChannels;
        playback.OnTimer(CLoopingPlayback::kTimerId);
        return std::uint64_t(playback.m_nPlayPos);
    };

    std::vector<double> starts, offsets, stops;
    for (int trial = 0; trial < nTrials; ++trial) {
        // While playing, at each arrival: the samples recorded by then and
        // the frames the device says heard.
        std::vector<std::pair<std::size_t, std::uint64_t>> heard;
        CMonitor monitor(opt, [&](std::size_t nSamples) {
            if (playback.m_bPlaying)
                heard.emplace_back(nSamples, heardFrames());
        });
        if (!monitor.Started())
            return Fail("parec records nothing");

        const double dPlayMs = monitor.Now();
        playback.OnPlay();
        if (!playback.m_bPlaying)
            return Fail("playback did not start");
        Wait(1500);
        const double dStopMs = monitor.Now();
        playback.OnStop();
        Wait(400);
        const std::vector<std::int16_t> rec = monitor.Finish();
        const auto [nFirst, nEnd] = SoundSpan(rec, nChannels);
        if (nFirst >= rec.size())
            return Fail("only silence was recorded");
        // Frames rendered against frames heard, once past the start.
        std::vector<double> trialOffsets;
        for (const auto& [nSamples, nHeard] : heard) {
            const double dRendered = nSamples > nFirst ? double((nSamples - nFirst) / nChannels) : 0.0;
            if (dRendered > 0.2 * opt.nRate)
                trialOffsets.push_back((double(nHeard) - dRendered) * 1000.0 / opt.nRate);
        }
        starts.push_back(monitor.RenderedMs(nFirst) - dPlayMs);
        stops.push_back(monitor.RenderedMs(nEnd - 1) - dStopMs);
        std::printf("trial %d: first sound %.1f ms after Play, silent %.1f ms after Stop, position - sink %.1f ms "
                    "(median of %zu)\n",
                    trial + 1, starts.back(), stops.back(), Median(trialOffsets), trialOffsets.size());
        offsets.insert(offsets.end(), trialOffsets.begin(), trialOffsets.end());
        Wait(200);
    }
    if (!host.m_messages.empty())
        return Fail("playback showed a message");
    std::printf("median over %d trials: first sound %.1f ms after Play, silent %.1f ms after Stop, position - sink "
                "%.1f ms\n",
                nTrials, Median(starts), Median(stops), Median(offsets));
    // Medians: one trial slowed down by a busy machine does not fail it.
    if (Median(starts) > 150)
        return Fail("the sound starts more than 150 ms after Play");
    if (Median(stops) > 50)
        return Fail("the sound goes on more than 50 ms after Stop");
    if (std::abs(Median(offsets)) > 20)
        return Fail("the play position is more than 20 ms away from what the sink plays");
    return 0;
}

// A loop moved while it plays is heard within 100 ms, without a glitch: the
// recording is the old stream up to some sample, then the stream of the new
// loop continuing from the frame heard last. The new loop lies before the
// old one, so the switch is the first difference. Stop then silences the
// sound within 50 ms.
int CheckLoopChange(const Options& opt)
{
    CQuorvelDoc doc;
    FillSample(doc, opt);
    SetLoop(doc);
    const std::int32_t nOldStart = doc.m_nLoopStart, nOldEnd = doc.m_nLoopEnd;
    auto pOut = CreateOutput(opt);
    CDriverHost host;
    CLoopingPlayback playback(*pOut, host);
    host.m_pPlayback = &playback;
    playback.SetDocument(&doc);
    QTimer cursorTimer;
    QObject::connect(&cursorTimer, &QTimer::timeout, [&] { playback.OnTimer(CLoopingPlayback::kTimerId); });
    CMonitor monitor(opt, nullptr);
    if (!monitor.Started())
        return Fail("parec records nothing");

    cursorTimer.start(20);
    playback.OnPlay();
    Wait(1500);
    const double dChangeMs = monitor.Now();
    doc.m_nLoopStart = opt.nRate / 16;
    doc.m_nLoopEnd = opt.nRate / 8;
    Wait(1000);
    const double dStopMs = monitor.Now();
    playback.OnStop();
    Wait(400);
    const std::vector<std::int16_t> rec = monitor.Finish();
    const std::size_t nChannels = std::size_t(opt.nChannels);
    const auto [nFirst, nEnd] = SoundSpan(rec, nChannels);
    if (!host.m_messages.empty() || nFirst >= rec.size())
        return Fail("playback showed a message or was not heard");

    // The frames of the old stream, and where the recording leaves it.
    std::vector<std::int32_t> frames;
    for (std::int32_t f = 0; frames.size() * nChannels < nEnd - nFirst;) {
        frames.push_back(f);
        if (++f >= nOldEnd)
            f = nOldStart;
    }
    auto sampleOf = [&](std::int32_t f, std::size_t c) { return std::int16_t(doc.GetSampleScaled(f, int(c), 16383)); };
    auto heardAs = [&](std::size_t i, std::int32_t nFrame) {
        for (std::size_t c = 0; c < nChannels; ++c)
            if (rec[i + c] != sampleOf(nFrame, c))
                return false;
        return true;
    };
    std::size_t nSwitch = 0;  // frames of the old stream heard
    while (nSwitch < frames.size() && nFirst + (nSwitch + 1) * nChannels <= nEnd &&
           heardAs(nFirst + nSwitch * nChannels, frames[nSwitch]))
        ++nSwitch;
    if (nSwitch == 0 || nFirst + nSwitch * nChannels >= nEnd)
        return Fail("the new loop was never heard");
    std::size_t nBad = 0;
    std::int32_t f = frames[nSwitch - 1];
    for (std::size_t i = nFirst + nSwitch * nChannels; i < nEnd; i += nChannels) {
        if (++f >= doc.m_nLoopEnd)
            f = doc.m_nLoopStart;
        nBad += heardAs(i, f) ? 0 : 1;
    }
    const double dHeardMs = monitor.RenderedMs(nFirst + nSwitch * nChannels) - dChangeMs;
    const double dSilentMs = monitor.RenderedMs(nEnd - 1) - dStopMs;
    std::printf("new loop heard %.1f ms after the change, %zu frames differ from its stream; silent %.1f ms after "
                "Stop\n",
                dHeardMs, nBad, dSilentMs);
    if (nBad != 0)
        return Fail("the new loop's stream is not what was heard after the switch");
    if (dHeardMs > 100)
        return Fail("the loop change was heard more than 100 ms after it was made");
    if (dSilentMs > 50)
        return Fail("the sound goes on more than 50 ms after Stop");
    return 0;
}

QString ArgAfter(const QStringList& args, const char* name)
{
    const qsizetype i = args.indexOf(name);
    return i > 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

}  // namespace

int Run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    Options opt;
    opt.strSink = ArgAfter(args, "--sink");
    if (const QString s = ArgAfter(args, "--channels"); !s.isEmpty())
        opt.nChannels = s.toInt();
    if (const QString s = ArgAfter(args, "--rate"); !s.isEmpty())
        opt.nRate = s.toInt();
    if (const QString s = ArgAfter(args, "--frames"); !s.isEmpty())
        opt.nFrames = s.toInt();
    opt.bDeep = args.contains("--deep");
    if (const QString s = ArgAfter(args, "--ui-stall"); !s.isEmpty())
        opt.dStallSeconds = s.toDouble();
    if (opt.nChannels < 1 || opt.nChannels > 2 || opt.nRate < 8000) {
        std::fprintf(stderr, "bad --channels or --rate\n");
        return 2;
    }

    if (args.contains("--no-device"))
        return CheckNoDevice(opt);
    if (const QString s = ArgAfter(args, "--lose-server"); !s.isEmpty())
        return CheckServerLost(s, opt);
    if (!SelectSink(opt.strSink))
        return Fail("the sink could not be made the default output");
    if (const QString s = ArgAfter(args, "--timing"); !s.isEmpty())
        return CheckTiming(opt, std::max(1, s.toInt()));
    if (args.contains("--loop-change"))
        return CheckLoopChange(opt);
    if (args.contains("--device-semantics"))
        return CheckDeviceSemantics(opt);
    if (args.contains("--to-end"))
        return CheckHeard(false, 0.0, opt);
    if (const QString s = ArgAfter(args, "--loop"); !s.isEmpty())
        return CheckHeard(true, s.toDouble(), opt);
    std::fprintf(stderr,
                 "usage: %s --loop SECONDS | --to-end | --timing TRIALS | --loop-change | --device-semantics | "
                 "--lose-server PIDFILE | --no-device "
                 "[--sink NAME] [--deep] [--ui-stall SECONDS] "
                 "[--channels N] [--rate HZ] [--frames N]\n",
                 argv[0]);
    return 2;
}

int main(int argc, char** argv)
{
    const int nResult = Run(argc, argv);
    // Qt's PulseAudio engine is a static torn down after main, and can abort
    // if its thread is still handling a server notice then. The checks are
    // done: leave without static destruction.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(nResult);
}
