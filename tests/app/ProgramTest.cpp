// The `ringseam` program's unattended modes, run as a separate process:
// what they write, their exit statuses and their one-line messages.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdint>

namespace {

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
        le16(int(std::lround(12000.0 * std::sin(2 * 3.14159265358979 * 220.0 * i / 44100.0))) & 0xFFFF);
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
    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

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
        QVERIFY(m_dir.isValid());
        QVERIFY(WriteToneWav(Path("tone.wav"), 40000));
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

    void screenshotOfTheMainWindow()
    {
        const Run r = Ringseam({"--screenshot", Path("shot.png"), "--find-loop", Path("tone.wav")});
        QCOMPARE(r.nExit, 0);
        const QImage shot(Path("shot.png"));
        QVERIFY(shot.width() >= 300 && shot.height() >= 300);
        QCOMPARE(Ringseam({"--screenshot", Path("empty.png")}).nExit, 0);
        QVERIFY(QFile::exists(Path("empty.png")));
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
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "ProgramTest.moc"
