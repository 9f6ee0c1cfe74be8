// What the shell tests share: tone files written on the fly, the
// application with a silent device and scripted file dialogs, and the state
// a cancelled question must leave as it was.
#pragma once

#include "analysis/ComputeFFTDlg.h"
#include "app/AboutDlg.h"
#include "app/LoopsPanel.h"
#include "app/MainFrame.h"
#include "app/QuorvelApp.h"
#include "app/RecentFileList.h"
#include "app/SetLoopDlg.h"
#include "app/Resource.h"
#include "document/QuorvelDoc.h"
#include "document/SelectSampleDlg.h"
#include "playback/VirtualWaveOut.h"
#include "view/QuorvelView.h"
#include "view/SeamView.h"
#include "view/TimeRuler.h"
#include "ModalHelper.h"
#include "TempFolder.h"
#include "SampleBytes.h"
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QStatusBar>
#include <QtTest>
#include <cmath>
#include <functional>
#include <cstdint>
#include <tuple>

namespace AppTestSupport {

// A 16-bit 44100 Hz WAV of `frames` frames of a 440 Hz tone in every channel.
inline bool WriteToneWav(const QString& path, int frames, int channels = 1)
{
    QByteArray data;
    auto le16 = [&](int v) { data.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto le32 = [&](std::uint32_t v) { le16(int(v & 0xFFFF)), le16(int(v >> 16)); };
    const std::uint32_t bytes = std::uint32_t(frames) * 2u * std::uint32_t(channels);
    data.append("RIFF");
    le32(36 + bytes);
    data.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(channels);
    le32(44100);
    le32(44100u * 2u * std::uint32_t(channels));
    le16(2 * channels);
    le16(16);
    data.append("data");
    le32(bytes);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            le16(int(std::lround(12000.0 * std::sin(2 * 3.14159265358979 * 440.0 * i / 44100.0))) & 0xFFFF);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The application with a silent device and scripted file dialogs.
class CTestApp : public CQuorvelApp {
public:
    bool m_bRealDialogs = false;  // show the real file dialogs instead
    QString m_strNextFileName;  // what the next file dialog answers ("" = Cancel)
    int m_nOpenPrompts = 0;
    int m_nSavePrompts = 0;
    QString m_strProposed;
    CVirtualWaveOut* m_pWaveOut = nullptr;  // owned by the view

protected:
    QString PromptForFileName(bool bOpen, const QString& proposed) override
    {
        if (m_bRealDialogs)
            return CQuorvelApp::PromptForFileName(bOpen, proposed);
        ++(bOpen ? m_nOpenPrompts : m_nSavePrompts);
        m_strProposed = proposed;
        return m_strNextFileName;
    }
    std::unique_ptr<IWaveOut> CreateWaveOut() override
    {
        auto device = std::make_unique<CVirtualWaveOut>();
        m_pWaveOut = device.get();
        return device;
    }
};

// An extended instrument of two 16-bit samples, of 1000 and 500 frames.
inline bool WriteTwoSampleXi(const QString& path)
{
    const SampleBytes::Bytes data =
        SampleBytes::Xi({SampleBytes::XITone(1000, true, 0, 0, 0), SampleBytes::XITone(500, true, 0, 0, 0)});
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(data.data()), qint64(data.size())) ==
                                               qint64(data.size());
}

// What Cancel must leave as it was: frames, loops, release marker, shown
// title, window, recent files.
inline auto StateOf(CTestApp& app)
{
    const CQuorvelDoc& d = app.GetDocument();
    return std::make_tuple(d.m_pSamples, d.m_bHasLoop, d.m_nLoopStart, d.m_nLoopEnd, ShownTitle(app.GetMainFrame()),
                           app.GetMainFrame()->isVisible(), app.GetRecentFileList().GetList(), d.m_extraLoops, d.m_nRelease);
}


// The folder and settings a shell test class works in, removed with it.
// Derive after QObject and call PrepareFolder() from initTestCase() and
// ClearSettings() from init().
class CShellFixture {
protected:
    CTempFolder m_dir;
    QString Path(const QString& name) const { return QString::fromStdString((m_dir / name.toStdString()).string()); }

    static void ClearSettings()
    {
        QSettings(QStringLiteral("Ringseam"), QStringLiteral("Ringseam")).clear();
        QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Quorvel")).clear();
    }

    // Settings go to a folder of the test's own, never the user's; tone.wav
    // and other.wav are there for the tests to open.
    void PrepareFolder()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path("config"));
        QVERIFY(WriteToneWav(Path("tone.wav"), 30000));
        QVERIFY(WriteToneWav(Path("other.wav"), 20000));
    }

    // edit.wav opened after other.wav, so the recent-file list has another entry.
    void Start(CTestApp& app)
    {
        QVERIFY(WriteToneWav(Path("edit.wav"), 30000));
        QVERIFY(app.InitInstance({Path("other.wav")}));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
    }
};

}  // namespace AppTestSupport
using namespace AppTestSupport;
