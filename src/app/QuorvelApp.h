// CQuorvelApp: the application. It owns the one document, the main frame
// with its view, the document template, the settings and the recent-file
// list; it handles the File and Help commands and starts the program:
// settings under "Ringseam" / "Ringseam" (the recent-file list of an earlier
// version's settings taken over once), a recent-file list of six, the
// window where it was left, then either an empty document or the file named
// on the command line.
//
// A document with unsaved changes is never dropped without asking: New,
// Open, a recent file, Exit and closing the window first ask "Save changes
// to <title>?" (Save / Discard / Cancel). The window title carries the mark
// of unsaved changes.
//
// A failed open or save has already been reported through the document's
// user interface when the handlers return.
//
// User-interface thread only. Needs a QApplication.
#pragma once

#include "app/SampleDocTemplate.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

class CMainFrame;
class CQuorvelDoc;
class CQuorvelView;
class CRecentFileList;
class IUserInterface;
class IWaveOut;
class QSettings;

class CQuorvelApp : public QObject {
    Q_OBJECT
public:
    // pUi: the interface for messages and questions (not owned; it must
    // outlive the application); null means the desktop one, owned here.
    explicit CQuorvelApp(IUserInterface* pUi = nullptr);
    ~CQuorvelApp() override;

    // Start-up. Shows the main window (when bShow), then opens the one path
    // in `files` or, with none, creates an empty document. Returns false,
    // with the window hidden again, when the file could not be opened (its
    // failure was reported); a load the user cancelled leaves the window up
    // with an empty document.
    bool InitInstance(const QStringList& files, bool bShow = true);
    // Whether the window takes the size and position it had when it was last
    // closed, and keeps them for the next run (default on; the unattended
    // modes turn it off before InitInstance). The document opened at start-up
    // then leaves that size alone; later ones fit the window to their content.
    void SetRememberWindowPlacement(bool bRemember) { m_bRememberPlacement = bRemember; }

    CQuorvelDoc& GetDocument() { return *m_pDoc; }
    CMainFrame* GetMainFrame() const { return m_pFrame; }
    CQuorvelView* GetView() const { return m_pView; }
    CSampleDocTemplate& GetDocTemplate() { return m_template; }
    CRecentFileList& GetRecentFileList() { return *m_pRecentFiles; }
    IUserInterface& GetUserInterface() { return *m_pUi; }

    // --- commands -------------------------------------------------------------
    void OnFileNew();
    void OnFileOpen();
    // Save, or Save As for a document without a file. Both return whether
    // the file was written (false when the name was cancelled or the save
    // failed; the failure has been reported).
    bool OnFileSave();
    bool OnFileSaveAs();
    // Opens entry nIndex (0-based) of the recent-file list; an entry that
    // fails to open (not one the user cancelled) leaves the list.
    void OnOpenRecentFile(int nIndex);
    void OnAppExit();
    void OnAppAbout();

    // How an open ended. Failed: the failure was reported, naming the file.
    // Cancelled: the user cancelled a question of the load (which sample,
    // the spectra's progress); nothing is reported. Either way the document
    // open before, its loop, name and modified mark are as they were.
    enum class OpenResult { Opened, Failed, Cancelled };
    // Opens `path` (made absolute). The document already open under exactly
    // that path is only brought forward. Unsaved changes are asked about
    // first; Cancel there gives Cancelled with the document untouched.
    OpenResult TryOpenDocumentFile(const QString& path);
    // Whether the document now shows the file.
    bool OpenDocumentFile(const QString& path) { return TryOpenDocumentFile(path) == OpenResult::Opened; }
    // Saves to `path`; on success the document takes it as its name.
    bool DoSave(const QString& path);
    // Before the document is replaced or the program ends: true when there
    // are no unsaved changes, or the user discarded them, or saved them.
    // False (the user cancelled, or the save failed or was cancelled) means
    // the caller must keep everything as it is.
    bool SaveModified();

protected:
    // The file name the user picks in the Open (bOpen) or Save As dialog, or
    // "" when cancelled. Tests override it.
    virtual QString PromptForFileName(bool bOpen, const QString& proposed);
    // The output device of the view. Tests override it.
    virtual std::unique_ptr<IWaveOut> CreateWaveOut();

private:
    void CreateFrame();
    // Before the window closes: unsaved changes, then the window placement.
    bool QueryClose();
    void RegisterCommands();
    // After New or a successful Open: the view's first update and the title.
    void InitialUpdateFrame();
    // The document's title and its modified mark.
    void UpdateTitle();
    void UpdateRecentMenu();
    QString FileDialogFilter() const;

    std::unique_ptr<IUserInterface> m_pOwnUi;
    IUserInterface* m_pUi = nullptr;
    std::unique_ptr<QSettings> m_pSettings;
    std::unique_ptr<CRecentFileList> m_pRecentFiles;
    CSampleDocTemplate m_template;
    std::unique_ptr<CQuorvelDoc> m_pDoc;
    CMainFrame* m_pFrame = nullptr;  // owned; deleted before the document
    CQuorvelView* m_pView = nullptr;  // owned by the frame
    // An open is under way: its passing changes of the modified flag are not
    // shown.
    bool m_bOpening = false;
    bool m_bRememberPlacement = true;
    // During start-up, when the window took its remembered placement: the
    // view's content does not resize it.
    bool m_bKeepPlacement = false;
    // Start-up is over: opening a file never shrinks the window any more.
    bool m_bUserWindow = false;
    // A loop too short to sound as a tone is saved only once the user
    // confirmed it; the loop confirmed last is not asked about again.
    bool ConfirmShortLoop();
    std::optional<std::pair<int, int>> m_confirmedShortLoop;
};
