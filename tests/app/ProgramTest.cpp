// The `ringseam` program's unattended modes, run as a separate process:
// what they write, their exit statuses and their one-line messages.
#include "TempFolder.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QtTest>

#include <cmath>
#include <cstdint>

namespace {

// The 16-bit code of frame i of the test tone.
int ToneCode(int i)
{
    return int(std::lround(12000.0 * std::sin(2 * 3.14159265358979 * 220.0 * i / 44100.0)));
}

bool WriteToneWav(const QString& path, int frames)
{
    QByteArray data;
    auto le16 = [&](int v) { data.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto le32 = [&](std::uint32_t v) { le16(int(v & 0xFFFF)), le16(int(v >> 16)); };
    data.append("RIFF");
    le32(36 + std::uint32_t(frames) * 2);
    data.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(1);
    le32(44100);
    le32(88200);
    le16(2);
    le16(16);
    data.append("data");
    le32(std::uint32_t(frames) * 2);
    for (int i = 0; i < frames; ++i)
        le16(ToneCode(i) & 0xFFFF);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

struct Run {
    int nExit = -1;
    QString strErr;
};

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private:
    CTempFolder m_dir;
    QString Path(const QString& name) const { return QString::fromStdString((m_dir / name.toStdString()).string()); }

    Run Ringseam(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(RINGSEAM_PROGRAM), args);
        Run r;
        if (!p.waitForFinished(120000)) {
            p.kill();
            return r;
        }
        r.nExit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        // Qt's own diagnostics (runtime folder, plugin notes) are not ours.
        for (const QString& line : QString::fromLocal8Bit(p.readAllStandardError()).split('\n'))
            if (line.startsWith(QStringLiteral("ringseam")) || line.startsWith(QStringLiteral("usage")) ||
                line.startsWith(QStringLiteral("       ")))
                r.strErr += line + '\n';
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteToneWav(Path("tone.wav"), 40000));
        QVERIFY(WriteToneWav(Path("long.wav"), 100000));
    }

    void renderViewDrawsTheClientAreaAtTheGivenWidth()
    {
        const Run r = Ringseam({"--render-view", Path("view.png"), "--width", "300", Path("tone.wav"), "--loop",
                                "1000:30000"});
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strErr, QString());
        const QImage image(Path("view.png"));
        QCOMPARE(image.width(), 300);
        QVERIFY(image.height() > 128);
    }

    void amplitudeAndSeamInTheUnattendedModes()
    {
        // The tone peaks at 12000 of 32768: its top row at full scale is
        // 64 − 23 + 1; at gain 2, 64 − 46 + 1; fitted, the lane's row 2.
        auto topGreenRow = [](const QImage& image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) == 0xFF00AA00u)
                        return y;
            return -1;
        };
        for (const auto& [gain, topRow] : {std::pair{"1", 42}, {"2", 19}, {"fit", 2}}) {
            const QStringList args{"--render-view", Path("amp.png"), "--width", "300", Path("tone.wav"), "--amplitude", gain};
            QCOMPARE(Ringseam(args).nExit, 0);
            QCOMPARE(topGreenRow(QImage(Path("amp.png"))), topRow);
        }
        // The seam view adds its pane below the view.
        QCOMPARE(Ringseam({"--screenshot", Path("plain.png"), Path("tone.wav")}).nExit, 0);
        QCOMPARE(Ringseam({"--screenshot", Path("seam.png"), "--auto-loop", "--seam", Path("tone.wav")}).nExit, 0);
        QVERIFY(QImage(Path("seam.png")).height() > QImage(Path("plain.png")).height() + 50);
    }

    void screenshotOfTheMainWindow()
    {
        const Run r = Ringseam({"--screenshot", Path("shot.png"), "--find-loop", Path("tone.wav")});
        QCOMPARE(r.nExit, 0);
        const QImage shot(Path("shot.png"));
        QVERIFY(shot.width() >= 300 && shot.height() >= 300);
        QCOMPARE(Ringseam({"--screenshot", Path("empty.png")}).nExit, 0);
        QVERIFY(QFile::exists(Path("empty.png")));
    }

    // With a platform that cannot start, only an answer given before Qt
    // starts gets out.
    void versionIsPrintedWithoutADisplay()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(RINGSEAM_PROGRAM), {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("Ringseam Version 1.0\n"));
    }

    void badUsageExitsTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("two files") << QStringList{"a.wav", "b.wav"};
        QTest::newRow("render without width") << QStringList{"--render-view", "o.png", "x.wav"};
        QTest::newRow("zero width") << QStringList{"--render-view", "o.png", "--width", "0", "x.wav"};
        QTest::newRow("bad loop") << QStringList{"--render-view", "o.png", "--width", "9", "x.wav", "--loop", "5:2"};
        QTest::newRow("loop without mode") << QStringList{"x.wav", "--loop", "1:2"};
        QTest::newRow("play without file") << QStringList{"--play-for", "1"};
        QTest::newRow("negative seconds") << QStringList{"--play-for", "-1", "x.wav"};
        QTest::newRow("missing value") << QStringList{"--screenshot"};
        QTest::newRow("gain below one") << QStringList{"--render-view", "o.png", "--width", "9", "x.wav", "--amplitude", "0.5"};
        QTest::newRow("gain not a number") << QStringList{"--screenshot", "o.png", "--amplitude", "loud"};
        QTest::newRow("gain without mode") << QStringList{"x.wav", "--amplitude", "fit"};
        QTest::newRow("two searches") << QStringList{"--screenshot", "o.png", "--find-loop", "--auto-loop", "x.wav"};
        QTest::newRow("seam without screenshot") << QStringList{"--render-view", "o.png", "--width", "9", "x.wav", "--seam"};
    }

    void badUsageExitsTwo()
    {
        QFETCH(QStringList, args);
        const Run r = Ringseam(args);
        QCOMPARE(r.nExit, 2);
        QVERIFY2(r.strErr.startsWith(QStringLiteral("ringseam: ")), qPrintable(r.strErr));
    }

    void unreadableInputExitsOne()
    {
        QFile junk(Path("junk.wav"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is not a sample file at all");
        junk.close();
        for (const QStringList& args :
             {QStringList{"--render-view", Path("o.png"), "--width", "100", Path("missing.wav")},
              QStringList{"--render-view", Path("o.png"), "--width", "100", Path("junk.wav")},
              QStringList{"--screenshot", Path("o.png"), Path("junk.wav")},
              QStringList{"--play-for", "0", Path("junk.wav")}}) {
            const Run r = Ringseam(args);
            QCOMPARE(r.nExit, 1);
            QCOMPARE(r.strErr.count('\n'), 1);
            QVERIFY2(r.strErr.startsWith(QStringLiteral("ringseam: ")), qPrintable(r.strErr));
        }
        // A loop beyond the sample's frames is refused, not drawn out of range.
        QCOMPARE(Ringseam({"--render-view", Path("o.png"), "--width", "100", Path("tone.wav"), "--loop",
                           "10:999999"})
                     .nExit,
                 2);
        // An output that cannot be written.
        const Run r = Ringseam({"--render-view", Path("no/such/dir/o.png"), "--width", "100", Path("tone.wav")});
        QCOMPARE(r.nExit, 1);
        QVERIFY(r.strErr.startsWith(QStringLiteral("ringseam: cannot write")));
    }

    void playForPlaysOrSaysTheDeviceCannotBeOpened()
    {
        const Run r = Ringseam({"--play-for", "0.3", Path("tone.wav"), "--loop", "0:40000"});
        if (r.nExit == 0) {
            QCOMPARE(r.strErr, QString());
        } else {
            QCOMPARE(r.nExit, 1);
            QCOMPARE(r.strErr, QStringLiteral("ringseam: Unable to open sound output device.\n"));
        }
    }

    // A recorded run plays into a silent device in real time and saves what
    // it played: the frames at the playback scale, the loop repeated; from
    // the first frame, or with --seam from one second before the loop end.
    void playForRecordsWhatItPlayed_data()
    {
        QTest::addColumn<bool>("seam");
        QTest::newRow("from the first frame") << false;
        QTest::newRow("--seam: from one second before the loop end") << true;
    }

    void playForRecordsWhatItPlayed()
    {
        QFETCH(bool, seam);
        const int loopStart = seam ? 50000 : 20000, loopEnd = seam ? 90000 : 30000;
        QStringList args{"--play-for", "1", Path(seam ? "long.wav" : "tone.wav"), "--loop",
                         QStringLiteral("%1:%2").arg(loopStart).arg(loopEnd), "--record", Path("rec.wav")};
        if (seam)
            args << "--seam";
        const Run r = Ringseam(args);
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.strErr, QString());
        QFile f(Path("rec.wav"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.size() > 44);
        auto le = [&](int at, int n) {
            std::uint32_t v = 0;
            for (int k = n - 1; k >= 0; --k)
                v = (v << 8) | std::uint8_t(bytes[at + k]);
            return v;
        };
        QCOMPARE(bytes.left(4), QByteArray("RIFF"));
        QCOMPARE(le(4, 4), std::uint32_t(bytes.size() - 8));
        QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(le(22, 2), 1u);      // channels
        QCOMPARE(le(24, 4), 44100u);  // rate
        QCOMPARE(le(34, 2), 16u);
        QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
        const int frames = int(le(40, 4)) / 2;
        QCOMPARE(44 + 2 * frames, int(bytes.size()));
        // About the second asked for (the clock runs on real time), and past
        // the loop end, so the jump back is in the recording.
        QVERIFY2(frames > 44100 * 8 / 10 && frames < 44100 * 13 / 10, qPrintable(QString::number(frames)));
        int pos = seam ? loopEnd - 44100 : 0;
        for (int k = 0; k < frames; ++k) {
            const int want = int(std::trunc(ToneCode(pos) / 32768.0 * 16383.0));
            const int got = std::int16_t(le(44 + 2 * k, 2));
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("frame %1 of the recording is %2, not %3").arg(k).arg(got).arg(want)));
            pos = pos + 1 == loopEnd ? loopStart : pos + 1;
        }

        // Bad usage: without --play-for, or a target that cannot be written.
        QCOMPARE(Ringseam({"--record", Path("r.wav"), Path("tone.wav")}).nExit, 2);
        QCOMPARE(Ringseam({"--seam", Path("tone.wav")}).nExit, 2);
        const Run bad = Ringseam({"--play-for", "0.1", Path("tone.wav"), "--record", Path("no/such/dir/r.wav")});
        QCOMPARE(bad.nExit, 1);
        QVERIFY2(bad.strErr.startsWith(QStringLiteral("ringseam: cannot write")), qPrintable(bad.strErr));
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "ProgramTest.moc"
