#include "app/QuorvelApp.h"

#include "app/AboutDlg.h"
#include "app/AutoLoopsCommand.h"
#include "app/EditCommands.h"
#include "app/GuiUserInterface.h"
#include "app/LoopsPanel.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/Resource.h"
#include "app/ShellView.h"
#include "app/StatusPanes.h"
#include "app/TuningDlg.h"
#include "document/QuorvelDoc.h"
#include "view/LoopVerdict.h"
#include "playback/PulseLoopOut.h"
#include "view/SeamView.h"
#include "view/UndoStep.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSettings>

namespace {
// Where the main window's size and position are kept between runs.
const char* const kWindowPlacementKey = "Main Window/Geometry";

// Passes everything on to the real user interface, naming the file being
// opened in a failure message that does not name it already.
class CFileNamingUserInterface : public IUserInterface {
public:
    CFileNamingUserInterface(IUserInterface& ui, std::string name) : m_ui(ui), m_strName(std::move(name)) {}
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        if (icon == MessageIcon::Stop && text.find(m_strName) == std::string::npos)
            m_ui.ShowMessage("Cannot open " + m_strName + ": " + text, caption, icon);
        else
            m_ui.ShowMessage(text, caption, icon);
    }
    std::optional<int> ChooseSample(int nSampleCount) override { return m_ui.ChooseSample(nSampleCount); }
    bool RunProgress(IProgressSource& source) override { return m_ui.RunProgress(source); }

private:
    IUserInterface& m_ui;
    std::string m_strName;
};
}  // namespace

CQuorvelApp::CQuorvelApp(IUserInterface* pUi) : m_pDoc(std::make_unique<CQuorvelDoc>())
{
    if (pUi) {
        m_pUi = pUi;
    } else {
        m_pOwnUi = std::make_unique<CGuiUserInterface>();
        m_pUi = m_pOwnUi.get();
    }
    m_pDoc->SetUserInterface(m_pUi);
    m_pDoc->SetModifiedListener([this](bool bModified) {
        if (m_pFrame && !m_bOpening)
            m_pFrame->setWindowModified(bModified);
    });
    m_template.SetDocument(m_pDoc.get());
}

CQuorvelApp::~CQuorvelApp()
{
    m_pDoc->SetModifiedListener(nullptr);
    // The view refers to the document: the window goes first.
    delete m_pFrame;
    m_pFrame = nullptr;
    m_pView = nullptr;
    m_template.SetDocument(nullptr);
}

bool CQuorvelApp::InitInstance(const QStringList& files, bool bShow)
{
    m_pSettings = std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganization),
                                              QString::fromLatin1(kSettingsApplication));
    m_pRecentFiles = std::make_unique<CRecentFileList>(*m_pSettings, kRecentFileCount);
    m_pRecentFiles->ReadList();
    QSettings legacy(QString::fromLatin1(kLegacySettingsOrganization), QString::fromLatin1(kLegacySettingsApplication));
    m_pRecentFiles->ImportList(legacy);

    CreateFrame();
    // The window as the user left it: the start-up document does not refit it.
    m_bKeepPlacement =
        m_bRememberPlacement &&
        m_pFrame->restoreGeometry(m_pSettings->value(QString::fromLatin1(kWindowPlacementKey)).toByteArray());
    const auto placed = qScopeGuard([this] { m_bKeepPlacement = false; });
    // Shown before the document arrives, so the view's first update fits the
    // window the user sees, and the progress of a long load has its window.
    if (bShow)
        m_pFrame->show();

    // Whatever start-up shows, the window is the user's from then on.
    const auto handedOver = qScopeGuard([this] { m_bUserWindow = true; });
    if (files.isEmpty()) {
        OnFileNew();
        return true;
    }
    switch (TryOpenDocumentFile(files.first())) {
    case OpenResult::Opened:
        break;
    case OpenResult::Cancelled:
        InitialUpdateFrame();  // the empty document the cancelled load left
        break;
    case OpenResult::Failed:
        m_pFrame->hide();
        return false;
    }
    return true;
}

void CQuorvelApp::CreateFrame()
{
    m_pFrame = new CMainFrame;
    if (auto* gui = dynamic_cast<CGuiUserInterface*>(m_pUi))
        gui->SetParentWindow(m_pFrame);
    m_pView = new CShellView(*m_pDoc, CreateWaveOut());
    m_pFrame->SetView(m_pView);
    m_pFrame->SetCloseQuery([this] { return QueryClose(); });
    connect(m_pView, &CQuorvelView::contentSizeChanged, m_pFrame, [this](QSize size, bool bShrinkOnly) {
        if (m_bKeepPlacement)
            return;
        // Once the user has the window, the content only ever widens it
        // (up to the screen); before that it is fitted as it always was.
        if (m_bUserWindow) {
            if (!bShrinkOnly)
                m_pFrame->GrowToFit(size);
            return;
        }
        m_pFrame->ResizeParentToFit(size, bShrinkOnly);
    });
    auto* seam = new CSeamView(*m_pDoc);
    connect(m_pView, &CQuorvelView::loopOrFramesChanged, seam, &CSeamView::Refresh);
    m_pFrame->SetSeamPane(seam);
    new CStatusPanes(*m_pFrame, *m_pView);
    RegisterCommands();
    new CEditCommands(*m_pFrame, *m_pView);
    new CLoopsPanel(*m_pFrame, *m_pView);  // after the commands it wraps
    new CAutoLoopsCommand(*m_pFrame, *m_pView);
    UpdateRecentMenu();
    m_pFrame->resize(820, 560);
}

bool CQuorvelApp::QueryClose()
{
    if (!SaveModified())
        return false;
    if (m_bRememberPlacement) {
        m_pSettings->setValue(QString::fromLatin1(kWindowPlacementKey), m_pFrame->saveGeometry());
        m_pSettings->sync();
    }
    return true;
}

void CQuorvelApp::RegisterCommands()
{
    CMainFrame& f = *m_pFrame;
    CQuorvelView* v = m_pView;
    f.SetCommandHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    f.SetCommandHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    f.SetCommandHandler(ID_FILE_SAVE, [this] { OnFileSave(); });
    f.SetCommandHandler(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    // Ctrl+A: the key the Save As item shows.
    f.SetCommandHandler(ID_SAVE_AS_SHORTCUT, [this] { OnFileSaveAs(); });
    f.SetCommandHandler(ID_APP_EXIT, [this] { OnAppExit(); });
    f.SetCommandHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
    for (int i = 0; i < kRecentFileCount; ++i)
        f.SetCommandHandler(ID_FILE_MRU_FILE1 + i, [this, i] { OnOpenRecentFile(i); });

    f.SetCommandHandler(ID_PLAY_PLAY, [v] { v->OnPlay(); });
    f.SetCommandHandler(ID_PLAY_STOP, [v] { v->OnStop(); });
    f.SetCommandHandler(ID_PLAY_SEAM, [v] { v->OnPlaySeam(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_IN, [v] { v->OnZoomIn(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_OUT, [v] { v->OnZoomOut(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_1_1, [v] { v->OnZoomOneToOne(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_ALL, [v] { v->OnZoomAll(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_LOOP, [v] { v->OnZoomLoop(); });
    f.SetCommandHandler(ID_VIEW_AMPLITUDE_IN, [v] { v->OnAmplitudeIn(); });
    f.SetCommandHandler(ID_VIEW_AMPLITUDE_OUT, [v] { v->OnAmplitudeOut(); });
    f.SetCommandHandler(ID_VIEW_AMPLITUDE_FIT, [v] { v->OnAmplitudeFit(); });
    f.SetCommandHandler(ID_EDIT_FIND_LOOP, [v] { v->OnFindLoop(); });
    f.SetCommandHandler(ID_EDIT_FIND_LOOP_CROSSFADE, [v] { v->OnFindLoopCrossfade(); });
    f.SetCommandHandler(ID_EDIT_AUTO_LOOP, [v] { v->OnAutoLoop(); });
    f.SetCommandHandler(ID_EDIT_AUTO_LOOP_CROSSFADE, [v] { v->OnAutoLoopCrossfade(); });
    f.SetCommandHandler(ID_EDIT_RELOAD, [v] { v->OnReload(); });
    f.SetCommandHandler(ID_EDIT_REMOVE_LOOP, [v] { v->OnRemoveLoop(); });
    f.SetCommandHandler(ID_EDIT_SPECTRAL_FILTER, [v] { v->OnSpectralCombFilter(); });
    // Tuning (TuningDlg.cpp), each an undo step.
    f.SetCommandHandler(ID_EDIT_DETECT_PITCH, [this, v] {
        const CUndoStep step(*v, "Detect Pitch");
        m_pDoc->DetectAndSetTuning();
    });
    f.SetCommandHandler(ID_EDIT_TUNING, [this, v] {
        const CUndoStep step(*v, "Tuning");
        RunTuningDialog(*m_pDoc, m_pFrame);
    });
}

std::unique_ptr<IWaveOut> CQuorvelApp::CreateWaveOut()
{
    return CreateDeepWaveOut();
}

void CQuorvelApp::InitialUpdateFrame()
{
    m_pView->OnInitialUpdate();
    UpdateTitle();
}

void CQuorvelApp::UpdateTitle()
{
    const std::string& title = m_pDoc->GetTitle();
    m_pFrame->UpdateFrameTitle(title.empty() ? std::string(kUntitledTitle) : title);
    m_pFrame->setWindowModified(m_pDoc->IsModified());
}

void CQuorvelApp::UpdateRecentMenu()
{
    if (m_pFrame)
        m_pFrame->SetRecentFiles(m_pRecentFiles->GetList());
}

QString CQuorvelApp::FileDialogFilter() const
{
    // "Sample Files (.wav; .xi)" listing *.wav and *.xi, then all files.
    return QStringLiteral("%1 (%2);;All Files (*)")
        .arg(QString::fromStdString(m_template.GetFilterName()), QString::fromStdString(m_template.GetFilterPatterns()));
}

QString CQuorvelApp::PromptForFileName(bool bOpen, const QString& proposed)
{
    QFileDialog dlg(m_pFrame, bOpen ? QStringLiteral("Open") : QStringLiteral("Save As"));
    dlg.setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setNameFilter(FileDialogFilter());
    // The filter shows its name only; the patterns stay behind it.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    dlg.setDefaultSuffix(QString::fromStdString(m_template.GetDefaultExtension()));
    if (!proposed.isEmpty())
        dlg.selectFile(proposed);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

void CQuorvelApp::OnFileNew()
{
    if (!SaveModified())
        return;
    m_pView->OnStop();
    DocumentFlow::NewDocument(*m_pDoc);
    InitialUpdateFrame();
}

void CQuorvelApp::OnFileOpen()
{
    const QString path = PromptForFileName(true, QString());
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

CQuorvelApp::OpenResult CQuorvelApp::TryOpenDocumentFile(const QString& path)
{
    const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
    CDocument* pOpen = nullptr;
    if (m_template.MatchDocType(full, pOpen) == CSampleDocTemplate::yesAlreadyOpen) {
        m_pFrame->raise();
        m_pFrame->activateWindow();
        return OpenResult::Opened;
    }
    if (!SaveModified())
        return OpenResult::Cancelled;
    // Playback reads the frames the load is about to replace.
    m_pView->OnStop();
    // What a failed or cancelled open puts back: contents, name, mark.
    CQuorvelDoc previous;
    m_pDoc->SwapContents(previous);
    const std::string previousPath = m_pDoc->GetPathName();
    const std::string previousTitle = m_pDoc->GetTitle();
    const bool bPreviousModified = m_pDoc->IsModified();
    CFileNamingUserInterface naming(*m_pUi, QFileInfo(path).fileName().toStdString());
    m_pDoc->SetUserInterface(&naming);
    m_bOpening = true;
    const bool bOpened = DocumentFlow::OpenDocument(*m_pDoc, full);
    m_bOpening = false;
    m_pDoc->SetUserInterface(m_pUi);
    if (!bOpened) {
        m_pDoc->SwapContents(previous);
        if (previousPath.empty())
            m_pDoc->SetTitle(previousTitle);
        else
            m_pDoc->SetPathName(previousPath);
        m_pDoc->SetModifiedFlag(bPreviousModified);
        m_pDoc->UpdateAllViews(nullptr);
        UpdateTitle();
        // Every failure is reported and named; a cancel is neither.
        return m_pDoc->GetLastFailure().empty() ? OpenResult::Cancelled : OpenResult::Failed;
    }
    m_pRecentFiles->Add(QString::fromStdString(m_pDoc->GetPathName()));
    UpdateRecentMenu();
    InitialUpdateFrame();
    return OpenResult::Opened;
}

void CQuorvelApp::OnOpenRecentFile(int nIndex)
{
    const QStringList& list = m_pRecentFiles->GetList();
    if (nIndex < 0 || nIndex >= list.size())
        return;
    if (TryOpenDocumentFile(list[nIndex]) == OpenResult::Failed) {
        m_pRecentFiles->Remove(nIndex);
        UpdateRecentMenu();
    }
}

bool CQuorvelApp::OnFileSave()
{
    if (m_pDoc->GetPathName().empty())
        return OnFileSaveAs();
    return DoSave(QString::fromStdString(m_pDoc->GetPathName()));
}

bool CQuorvelApp::OnFileSaveAs()
{
    const std::string& current = m_pDoc->GetPathName();
    const QString proposed = QString::fromStdString(
        current.empty() ? m_template.ProposeFileName(m_pDoc->GetTitle().empty() ? kUntitledTitle : m_pDoc->GetTitle())
                        : current);
    const QString chosen = PromptForFileName(false, proposed);
    if (chosen.isEmpty())
        return false;
    return DoSave(QString::fromStdString(m_template.ApplyDefaultExtension(chosen.toStdString())));
}

bool CQuorvelApp::ConfirmShortLoop()
{
    const CLoopVerdict verdict = JudgeLoop(*m_pDoc, m_pView->GetDetectedPitch());
    const std::pair<int, int> loop(m_pDoc->m_nLoopStart, m_pDoc->m_nLoopEnd);
    if (!verdict.IsTooShort() || m_confirmedShortLoop == loop)
        return true;
    const QString why = verdict.m_bShorterThanMinimum ? QStringLiteral("shorter than 2 ms")
                                                      : QStringLiteral("shorter than one period of the sound");
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppTitle),
                    QStringLiteral("The loop (%1 frames) is %2: it will sound as a buzz, not as the tone. "
                                   "Save it anyway?")
                        .arg(loop.second - loop.first)
                        .arg(why),
                    QMessageBox::Save | QMessageBox::Cancel, m_pFrame);
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Save)
        return false;
    m_confirmedShortLoop = loop;
    return true;
}

bool CQuorvelApp::DoSave(const QString& path)
{
    if (!ConfirmShortLoop())
        return false;
    const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
    if (!DocumentFlow::SaveDocument(*m_pDoc, full))
        return false;
    m_pRecentFiles->Add(QString::fromStdString(m_pDoc->GetPathName()));
    UpdateRecentMenu();
    UpdateTitle();
    return true;
}

bool CQuorvelApp::SaveModified()
{
    if (!m_pDoc->IsModified())
        return true;
    const std::string& title = m_pDoc->GetTitle();
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kAppTitle),
                    QStringLiteral("Save changes to %1?")
                        .arg(QString::fromStdString(title.empty() ? std::string(kUntitledTitle) : title)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_pFrame);
    box.setTextFormat(Qt::PlainText);  // a file name is no markup
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return OnFileSave();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void CQuorvelApp::OnAppExit()
{
    // The window's close asks about unsaved changes.
    m_pFrame->close();
}

void CQuorvelApp::OnAppAbout()
{
    CAboutDlg dlg(m_pFrame);
    dlg.exec();
}
