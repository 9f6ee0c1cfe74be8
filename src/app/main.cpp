// The `ringseam` program: the desktop window, plus unattended modes that
// render or play without asking anyone.
//
//   ringseam [FILE]
//   ringseam --screenshot OUT.png [--find-loop|--auto-loop] [--seam] [--amplitude GAIN|fit] [FILE]
//   ringseam --render-view OUT.png --width W FILE [--loop S:E] [--amplitude GAIN|fit]
//   ringseam --play-for SECONDS FILE [--loop S:E] [--seam] [--record OUT.wav]
//   ringseam --help | --version
//
// With --play-for, --seam starts playback one second before the loop end
// (Play Seam) instead of at the first frame.
//
// --seam shows the seam view in the screenshot; --amplitude draws the
// waveform at that gain (1 … 1024) or fitted to its peak.
//
// With --record, playback goes to a silent device that plays in real time
// and what it played is saved as a WAV: the seam can be heard later, on a
// machine without sound.
//
// Exit status 0 on success, 1 when a file cannot be read or an output cannot
// be written or played, 2 on bad usage; failures print one line on stderr
// starting with "ringseam: ".
#include "app/ConsoleUserInterface.h"
#include "app/MainFrame.h"
#include "app/ProgramVersion.h"
#include "app/QuorvelApp.h"
#include "app/Resource.h"
#include "document/QuorvelDoc.h"
#include "framework/Exceptions.h"
#include "playback/RecordingWav.h"
#include "playback/VirtualWaveOut.h"
#include "view/QuorvelView.h"
#include "view/RenderView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class Mode { Window, Screenshot, RenderView, PlayFor };

struct Options {
    Mode mode = Mode::Window;
    std::string strOut;
    std::string strFile;
    std::string strRecord;  // --play-for to a silent device, saved here
    int nWidth = 0;
    double dSeconds = 0;
    bool bFindLoop = false;
    bool bAutoLoop = false;  // the screenshot after Auto Loop instead of Find Loop
    bool bSeam = false;  // the seam view in a screenshot; Play Seam with --play-for
    bool bAmplitude = false;
    double dAmplitude = 1.0;  // kFitAmplitude: fit to the peak
    bool bHasLoop = false;
    std::int32_t nLoopStart = 0;
    std::int32_t nLoopEnd = 0;
};

const char* const kUsage =
    "usage: ringseam [FILE]\n"
    "       ringseam --screenshot OUT.png [--find-loop|--auto-loop] [--seam] [--amplitude GAIN|fit] [FILE]\n"
    "       ringseam --render-view OUT.png --width W FILE [--loop S:E] [--amplitude GAIN|fit]\n"
    "       ringseam --play-for SECONDS FILE [--loop S:E] [--seam] [--record OUT.wav]\n"
    "       ringseam --help | --version\n";

// What a recorded run may last: the recording is held in memory until saved.
constexpr double kMaxRecordSeconds = 600;
// The silent device's buffer ahead of what it plays.
constexpr int kRecordMarginMilliseconds = 500;

// One line on stderr and the exit status to return.
int Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "ringseam: %s\n", message.c_str());
    return status;
}

std::optional<long long> ParseInteger(const std::string& text)
{
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Parses the arguments after the program name; on bad usage returns the
// message to print.
std::optional<std::string> ParseArguments(const std::vector<std::string>& args, Options& o)
{
    std::vector<std::string> files;
    bool bOptionsEnded = false;
    auto needValue = [&](std::size_t& i, const std::string& name) -> std::optional<std::string> {
        if (i + 1 >= args.size())
            return std::nullopt;
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (bOptionsEnded || a.empty() || a[0] != '-' || a == "-") {
            files.push_back(a);
            continue;
        }
        if (a == "--") {
            bOptionsEnded = true;
        } else if (a == "--screenshot" || a == "--render-view" || a == "--play-for") {
            if (o.mode != Mode::Window)
                return "only one of --screenshot, --render-view and --play-for may be given";
            const auto value = needValue(i, a);
            if (!value)
                return a + " needs a value";
            if (a == "--play-for") {
                char* end = nullptr;
                o.dSeconds = std::strtod(value->c_str(), &end);
                if (value->empty() || *end != '\0' || !(o.dSeconds >= 0) || o.dSeconds > 86400)
                    return "--play-for needs a number of seconds from 0 to 86400, not '" + *value + "'";
                o.mode = Mode::PlayFor;
            } else {
                o.strOut = *value;
                o.mode = a == "--screenshot" ? Mode::Screenshot : Mode::RenderView;
            }
        } else if (a == "--width") {
            const auto value = needValue(i, a);
            const auto width = value ? ParseInteger(*value) : std::nullopt;
            if (!width || *width < 1 || *width > 32767)
                return "--width needs a whole number of pixels from 1 to 32767";
            o.nWidth = int(*width);
        } else if (a == "--loop") {
            const auto value = needValue(i, a);
            const auto colon = value ? value->find(':') : std::string::npos;
            const auto start = colon == std::string::npos ? std::nullopt : ParseInteger(value->substr(0, colon));
            const auto end = colon == std::string::npos ? std::nullopt : ParseInteger(value->substr(colon + 1));
            if (!start || !end || *start < 0 || *end > INT32_MAX || *start >= *end)
                return "--loop needs START:END frames with 0 <= START < END";
            o.bHasLoop = true;
            o.nLoopStart = std::int32_t(*start);
            o.nLoopEnd = std::int32_t(*end);
        } else if (a == "--find-loop") {
            o.bFindLoop = true;
        } else if (a == "--auto-loop") {
            o.bAutoLoop = true;
        } else if (a == "--seam") {
            o.bSeam = true;
        } else if (a == "--amplitude") {
            const auto value = needValue(i, a);
            if (value && *value == "fit") {
                o.dAmplitude = kFitAmplitude;
            } else {
                char* end = nullptr;
                o.dAmplitude = value ? std::strtod(value->c_str(), &end) : 0.0;
                if (!value || value->empty() || *end != '\0' || !(o.dAmplitude >= 1.0) ||
                    o.dAmplitude > CViewGeometry::kMaxAmplitude)
                    return "--amplitude needs a gain from 1 to 1024, or fit";
            }
            o.bAmplitude = true;
        } else if (a == "--record") {
            const auto value = needValue(i, a);
            if (!value || value->empty())
                return "--record needs the name of the WAV file to write";
            o.strRecord = *value;
        } else {
            return "unknown option '" + a + "'";
        }
    }
    if (files.size() > 1)
        return "only one file can be opened";
    if (!files.empty())
        o.strFile = files.front();

    switch (o.mode) {
    case Mode::Window:
        if (o.nWidth || o.bHasLoop || o.bFindLoop || o.bAutoLoop || o.bSeam || o.bAmplitude)
            return "--width, --loop, --find-loop, --auto-loop, --seam and --amplitude go with --screenshot, --render-view or "
                   "--play-for";
        break;
    case Mode::Screenshot:
        if (o.nWidth || o.bHasLoop)
            return "--screenshot takes no --width or --loop";
        if ((o.bFindLoop || o.bAutoLoop) && o.strFile.empty())
            return "--find-loop and --auto-loop need a FILE";
        if (o.bFindLoop && o.bAutoLoop)
            return "--find-loop and --auto-loop exclude each other";
        break;
    case Mode::RenderView:
        if (o.nWidth == 0 || o.strFile.empty() || o.bFindLoop || o.bAutoLoop)
            return "--render-view needs --width W and a FILE";
        if (o.bSeam)
            return "--seam goes with --screenshot or --play-for";
        break;
    case Mode::PlayFor:
        if (o.strFile.empty() || o.nWidth || o.bFindLoop || o.bAutoLoop)
            return "--play-for needs a FILE";
        if (o.bAmplitude)
            return "--amplitude goes with --screenshot or --render-view";
        if (!o.strRecord.empty() && o.dSeconds > kMaxRecordSeconds)
            return "--record takes at most " + std::to_string(int(kMaxRecordSeconds)) + " seconds of --play-for";
        break;
    }
    if (!o.strRecord.empty() && o.mode != Mode::PlayFor)
        return "--record goes with --play-for";
    return std::nullopt;
}

// The loop points exactly as given, and the end-loop curve that follows them.
std::optional<std::string> ApplyLoop(CQuorvelDoc& doc, const Options& o)
{
    if (!o.bHasLoop)
        return std::nullopt;
    if (o.nLoopEnd > doc.m_nFrameCount)
        return "--loop " + std::to_string(o.nLoopStart) + ":" + std::to_string(o.nLoopEnd) + " lies outside the " +
               std::to_string(doc.m_nFrameCount) + " frames of the sample";
    doc.m_bHasLoop = true;
    doc.m_nLoopStart = o.nLoopStart;
    doc.m_nLoopEnd = o.nLoopEnd;
    if (doc.m_nCurveColumns > 0)
        doc.ComputeEndLoopCurve();
    return std::nullopt;
}

bool SaveImage(const QImage& image, const std::string& path)
{
    return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}

int RunRenderView(const Options& o)
{
    CConsoleUserInterface ui;
    CQuorvelDoc doc;
    doc.SetUserInterface(&ui);
    if (!DocumentFlow::OpenDocument(doc, o.strFile))
        return 1;  // the console interface has printed the reason
    if (auto error = ApplyLoop(doc, o))
        return Fail(2, *error);
    if (!SaveImage(RenderViewImage(doc, o.nWidth, o.dAmplitude), o.strOut))
        return Fail(1, "cannot write '" + o.strOut + "'");
    return 0;
}

int RunScreenshot(const Options& o)
{
    CConsoleUserInterface ui;
    CQuorvelApp app(&ui);
    // A picture of the window as it always starts, wherever the user left it.
    app.SetRememberWindowPlacement(false);
    if (!app.InitInstance(o.strFile.empty() ? QStringList() : QStringList{QString::fromStdString(o.strFile)}))
        return 1;
    if (o.bFindLoop)
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_FIND_LOOP);
    if (o.bAutoLoop)
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_AUTO_LOOP);
    if (o.bSeam)
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_SEAM);
    if (o.dAmplitude == kFitAmplitude)
        app.GetMainFrame()->OnCmdMsg(ID_VIEW_AMPLITUDE_FIT);
    else
        app.GetView()->SetAmplitude(o.dAmplitude);
    // Let the window lay itself out and paint before the picture is taken.
    QApplication::processEvents();
    QApplication::processEvents();
    // As if the pointer rested over the middle of the waveform, so the
    // pointer pane shows numbers too.
    QWidget* viewport = app.GetView()->viewport();
    const QPointF middle(viewport->width() / 2.0, viewport->height() / 4.0);
    QMouseEvent move(QEvent::MouseMove, middle, viewport->mapToGlobal(middle), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QApplication::processEvents();
    if (!SaveImage(app.GetMainFrame()->grab().toImage(), o.strOut))
        return Fail(1, "cannot write '" + o.strOut + "'");
    return ui.m_nMessages == 0 ? 0 : 1;
}

// The application with its view playing into a silent device instead of the
// sound output; a timer plays it in real time and delivers its done
// notifications on this (the user-interface) thread, as the real one does.
class CRecordingApp : public CQuorvelApp {
public:
    using CQuorvelApp::CQuorvelApp;
    CVirtualWaveOut* GetDevice() const { return m_pDevice; }

    void StartClock()
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(10);
    }
    // Plays up to now, so the recording covers the whole time run.
    void Tick()
    {
        const qint64 now = m_clock.elapsed();
        m_pDevice->AdvanceTime(std::uint64_t(now - m_nPlayedMs));
        m_nPlayedMs = now;
        m_pDevice->DeliverPending();
    }

protected:
    std::unique_ptr<IWaveOut> CreateWaveOut() override
    {
        auto pDevice = std::make_unique<CVirtualWaveOut>();
        // A device buffer like the real output's, so that a busy moment of
        // this thread is no gap in the recording's time.
        pDevice->SetMargin(kRecordMarginMilliseconds);
        m_pDevice = pDevice.get();
        return pDevice;
    }

private:
    CVirtualWaveOut* m_pDevice = nullptr;  // owned by the view
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_nPlayedMs = 0;
};

int RunPlayFor(const Options& o)
{
    CConsoleUserInterface ui;
    const bool bRecord = !o.strRecord.empty();
    std::unique_ptr<CQuorvelApp> pApp = bRecord ? std::make_unique<CRecordingApp>(&ui) : std::make_unique<CQuorvelApp>(&ui);
    CQuorvelApp& app = *pApp;
    app.SetRememberWindowPlacement(false);
    if (!app.InitInstance({QString::fromStdString(o.strFile)}))
        return 1;
    CQuorvelDoc& doc = app.GetDocument();
    if (auto error = ApplyLoop(doc, o))
        return Fail(2, *error);
    if (o.bHasLoop)
        app.GetView()->OnUpdate();
    auto* pRecorder = dynamic_cast<CRecordingApp*>(&app);
    if (pRecorder)
        pRecorder->StartClock();
    app.GetMainFrame()->OnCmdMsg(o.bSeam ? ID_PLAY_SEAM : ID_PLAY_PLAY);
    if (ui.m_nMessages > 0)
        return 1;  // "Unable to open sound output device." is on stderr
    QTimer::singleShot(int(o.dSeconds * 1000.0), qApp, &QCoreApplication::quit);
    QApplication::exec();
    if (pRecorder)
        pRecorder->Tick();
    app.GetMainFrame()->OnCmdMsg(ID_PLAY_STOP);
    if (ui.m_nMessages > 0)
        return 1;
    if (pRecorder) {
        // The format the device played; a sample that never started playing
        // (no frames) gives an empty mono recording.
        const CVirtualWaveOut& device = *pRecorder->GetDevice();
        const bool bOpened = device.GetChannels() > 0;
        try {
            WriteRecordingWav(o.strRecord, bOpened ? device.GetChannels() : 1,
                              bOpened ? device.GetSampleRate() : app.GetDocument().m_nSampleRate, device.m_heard);
        } catch (const CException& e) {
            return Fail(1, "cannot write '" + o.strRecord + "': " + FailureMessage(e, FailureContext::Save));
        }
    }
    return 0;
}

// The arguments without the options Qt takes for itself (-platform NAME,
// -style NAME, -reverse …), so usage errors are found before a window
// system is needed to report them.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& raw)
{
    static const char* const kWithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                             "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-style",
                                             "-stylesheet", "-display", "-geometry", "-session", "-name",
                                             "-title", "-visual", "-qmljsdebugger"};
    static const char* const kAlone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    std::vector<std::string> args;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string& a = raw[i];
        if (a == "--") {
            args.insert(args.end(), raw.begin() + std::ptrdiff_t(i), raw.end());
            break;
        }
        bool skipped = false;
        for (const char* q : kWithValue)
            if (a == q) {
                ++i;
                skipped = true;
            }
        for (const char* q : kAlone)
            skipped |= a == q;
        if (!skipped)
            args.push_back(a);
    }
    return args;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> raw(argv + 1, argv + argc);
    for (const std::string& a : raw) {
        if (a == "--")
            break;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        // Answered before Qt starts, so it needs no display.
        if (a == "--version") {
            std::printf("%s\n", kProgramVersionText);
            return 0;
        }
    }
    Options o;
    if (auto error = ParseArguments(WithoutQtOptions(raw), o)) {
        std::fprintf(stderr, "ringseam: %s\n%s", error->c_str(), kUsage);
        return 2;
    }

    // The unattended modes need no screen: draw offscreen unless a platform
    // was chosen, or (for playback) a display is there to use.
    const bool bHaveDisplay = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (o.mode != Mode::Window && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        !(o.mode == Mode::PlayFor && bHaveDisplay))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QApplication::setDesktopFileName(QStringLiteral("ringseam"));

    if (!o.strFile.empty() && !QFileInfo::exists(QString::fromStdString(o.strFile)) && o.mode != Mode::Window)
        return Fail(1, "cannot open '" + o.strFile + "': no such file");

    switch (o.mode) {
    case Mode::RenderView: return RunRenderView(o);
    case Mode::Screenshot: return RunScreenshot(o);
    case Mode::PlayFor: return RunPlayFor(o);
    case Mode::Window: break;
    }

    CQuorvelApp app;
    if (!app.InitInstance(o.strFile.empty() ? QStringList() : QStringList{QString::fromStdString(o.strFile)})) {
        const std::string& why = app.GetDocument().GetLastFailure();
        return Fail(1, "cannot open '" + o.strFile + "'" + (why.empty() ? std::string() : ": " + why));
    }
    return QApplication::exec();
}
