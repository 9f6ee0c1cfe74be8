#include "app/QuorvelApp.h"

#include "app/AboutDlg.h"
#include "app/GuiUserInterface.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/Resource.h"
#include "app/ShellView.h"
#include "document/QuorvelDoc.h"
#include "playback/QtWaveOut.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

CQuorvelApp::CQuorvelApp(IUserInterface* pUi) : m_pDoc(std::make_unique<CQuorvelDoc>())
{
    if (pUi) {
        m_pUi = pUi;
    } else {
        m_pOwnUi = std::make_unique<CGuiUserInterface>();
        m_pUi = m_pOwnUi.get();
    }
    m_pDoc->SetUserInterface(m_pUi);
    m_template.SetDocument(m_pDoc.get());
}

CQuorvelApp::~CQuorvelApp()
{
    // The view refers to the document: the window goes first.
    delete m_pFrame;
    m_pFrame = nullptr;
    m_pView = nullptr;
    m_template.SetDocument(nullptr);
}

bool CQuorvelApp::InitInstance(const QStringList& files, bool bShow)
{
    m_pSettings = std::make_unique<QSettings>(QString::fromLatin1(kRegistryKey), QString::fromLatin1(kAppTitle));
    m_pRecentFiles = std::make_unique<CRecentFileList>(*m_pSettings, kRecentFileCount);
    m_pRecentFiles->ReadList();

    CreateFrame();
    // Shown before the document arrives, so the view's first update fits the
    // window the user sees, and the progress of a long load has its window.
    if (bShow)
        m_pFrame->show();

    if (files.isEmpty()) {
        OnFileNew();
    } else if (!OpenDocumentFile(files.first())) {
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
    connect(m_pView, &CQuorvelView::contentSizeChanged, m_pFrame, &CMainFrame::ResizeParentToFit);
    RegisterCommands();
    UpdateRecentMenu();
    m_pFrame->resize(820, 560);
}

void CQuorvelApp::RegisterCommands()
{
    CMainFrame& f = *m_pFrame;
    CQuorvelView* v = m_pView;
    f.SetCommandHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    f.SetCommandHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    f.SetCommandHandler(ID_FILE_SAVE, [this] { OnFileSave(); });
    f.SetCommandHandler(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    f.SetCommandHandler(ID_APP_EXIT, [this] { OnAppExit(); });
    f.SetCommandHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
    for (int i = 0; i < kRecentFileCount; ++i)
        f.SetCommandHandler(ID_FILE_MRU_FILE1 + i, [this, i] { OnOpenRecentFile(i); });

    f.SetCommandHandler(ID_PLAY_PLAY, [v] { v->OnPlay(); });
    f.SetCommandHandler(ID_PLAY_STOP, [v] { v->OnStop(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_IN, [v] { v->OnZoomIn(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_OUT, [v] { v->OnZoomOut(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_1_1, [v] { v->OnZoomOneToOne(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_ALL, [v] { v->OnZoomAll(); });
    f.SetCommandHandler(ID_VIEW_ZOOM_LOOP, [v] { v->OnZoomLoop(); });
    f.SetCommandHandler(ID_EDIT_FIND_LOOP, [v] { v->OnFindLoop(); });
    f.SetCommandHandler(ID_EDIT_FIND_LOOP_CROSSFADE, [v] { v->OnFindLoopCrossfade(); });
    f.SetCommandHandler(ID_EDIT_AUTO_LOOP, [v] { v->OnAutoLoop(); });
    f.SetCommandHandler(ID_EDIT_AUTO_LOOP_CROSSFADE, [v] { v->OnAutoLoopCrossfade(); });
    f.SetCommandHandler(ID_EDIT_RELOAD, [v] { v->OnReload(); });
    f.SetCommandHandler(ID_EDIT_REMOVE_LOOP, [v] { v->OnRemoveLoop(); });
    f.SetCommandHandler(ID_EDIT_SPECTRAL_FILTER, [v] { v->OnSpectralCombFilter(); });
    f.SetCommandHandler(ID_SAVE_AS_SHORTCUT, [v] { v->OnSaveAsShortcut(); });
}

std::unique_ptr<IWaveOut> CQuorvelApp::CreateWaveOut()
{
    return CreateQtWaveOut();
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

bool CQuorvelApp::OpenDocumentFile(const QString& path)
{
    const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
    CDocument* pOpen = nullptr;
    if (m_template.MatchDocType(full, pOpen) == CSampleDocTemplate::yesAlreadyOpen) {
        m_pFrame->raise();
        m_pFrame->activateWindow();
        return true;
    }
    // Playback reads the frames the load is about to replace.
    m_pView->OnStop();
    const bool ok = DocumentFlow::OpenDocument(*m_pDoc, full);
    if (ok) {
        m_pRecentFiles->Add(QString::fromStdString(m_pDoc->GetPathName()));
        UpdateRecentMenu();
        InitialUpdateFrame();
    } else {
        UpdateTitle();
    }
    return ok;
}

void CQuorvelApp::OnOpenRecentFile(int nIndex)
{
    const QStringList& list = m_pRecentFiles->GetList();
    if (nIndex < 0 || nIndex >= list.size())
        return;
    if (!OpenDocumentFile(list[nIndex])) {
        m_pRecentFiles->Remove(nIndex);
        UpdateRecentMenu();
    }
}

void CQuorvelApp::OnFileSave()
{
    if (m_pDoc->GetPathName().empty()) {
        OnFileSaveAs();
        return;
    }
    DoSave(QString::fromStdString(m_pDoc->GetPathName()));
}

void CQuorvelApp::OnFileSaveAs()
{
    const std::string& current = m_pDoc->GetPathName();
    const QString proposed = QString::fromStdString(
        current.empty() ? m_template.ProposeFileName(m_pDoc->GetTitle().empty() ? kUntitledTitle : m_pDoc->GetTitle())
                        : current);
    const QString chosen = PromptForFileName(false, proposed);
    if (chosen.isEmpty())
        return;
    DoSave(QString::fromStdString(m_template.ApplyDefaultExtension(chosen.toStdString())));
}

bool CQuorvelApp::DoSave(const QString& path)
{
    const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
    if (!DocumentFlow::SaveDocument(*m_pDoc, full))
        return false;
    m_pRecentFiles->Add(QString::fromStdString(m_pDoc->GetPathName()));
    UpdateRecentMenu();
    UpdateTitle();
    return true;
}

void CQuorvelApp::OnAppExit()
{
    m_pFrame->close();
}

void CQuorvelApp::OnAppAbout()
{
    CAboutDlg dlg(m_pFrame);
    dlg.exec();
}
