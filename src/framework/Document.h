// The document side of the application framework: path, title, modified flag,
// registered views, and the Open / Save / Close flow around a subclass's
// Serialize. Failures are reported to the user through IUserInterface with
// one message per cause (FailureMessage), never thrown to the caller.
#pragma once

#include "framework/Exceptions.h"
#include "framework/UserInterface.h"

#include <functional>
#include <string>
#include <vector>

class CArchive;
class CDocument;

// Anything that shows a document and wants its UpdateAllViews.
class IDocumentView {
public:
    virtual ~IDocumentView() = default;
    // sender: the view that caused the change (may be null); hint: 0 for a
    // full refresh.
    virtual void OnDocumentUpdate(IDocumentView* sender, long hint) = 0;
};

class CDocument {
public:
    CDocument();
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Overridables, in the order the framework calls them.
    virtual void Serialize(CArchive& ar) = 0;
    // Whether the document holds changes its file does not have.
    virtual bool IsModified();
    // Sets that state; a change of it reaches the modified listener.
    virtual void SetModifiedFlag(bool bModified = true);
    virtual void DeleteContents();
    // Resets the document: DeleteContents, empty path, modified cleared.
    virtual bool OnNewDocument();
    // Opens `path` for reading and loads it through Serialize. A zero-byte file
    // loads as an empty document without calling Serialize. On failure the
    // document is reset, the cause is reported, and false is returned.
    virtual bool OnOpenDocument(const std::string& path);
    // Saves through Serialize into a temporary file that replaces `path` only
    // when everything was written. On failure the old file is untouched, the
    // cause is reported, and false is returned.
    virtual bool OnSaveDocument(const std::string& path);
    virtual void OnCloseDocument();

    // Path of the file the document was opened from or saved to ("" if none).
    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the path and, from it, the title (the file name, extension included).
    virtual void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title) { m_strTitle = title; }

    void AddView(IDocumentView* pView);
    void RemoveView(IDocumentView* pView);
    const std::vector<IDocumentView*>& GetViews() const { return m_views; }
    void UpdateAllViews(IDocumentView* pSender, long lHint = 0);

    // Called with the new state whenever the modified flag changes (the
    // shell shows it in the window title); empty for nobody.
    void SetModifiedListener(std::function<void(bool)> listener) { m_modifiedListener = std::move(listener); }

    // The interface for questions and reports; not owned. Defaults to
    // DefaultUserInterface().
    void SetUserInterface(IUserInterface* pUi) { m_pUi = pUi; }
    IUserInterface& GetUserInterface() const;

    // Reports a failed load, save or reload to the user. A CUserException
    // (the user cancelled) is not reported and leaves GetLastFailure() empty.
    void ReportSaveLoadException(const std::exception& e, FailureContext context);
    // The message of the last reported failure ("" when none since the last
    // successful Open/Save, or when the user cancelled); lets callers such as
    // the CLI print it.
    const std::string& GetLastFailure() const { return m_strLastFailure; }

protected:
    std::string m_strPathName;
    std::string m_strTitle;
    bool m_bModified = false;

private:
    std::function<void(bool)> m_modifiedListener;
    std::vector<IDocumentView*> m_views;
    IUserInterface* m_pUi = nullptr;
    std::string m_strLastFailure;
};

// The steps the framework's document template takes around a document's
// overridables, for the shell and the CLI to share.
namespace DocumentFlow {
// File New: reset and give the document the untitled title.
bool NewDocument(CDocument& doc);
// File Open: OnOpenDocument; on success the path and title follow the file;
// on failure the document is reset to an untitled empty one (the failure has
// already been reported, unless the user cancelled, which leaves
// GetLastFailure() empty). Returns whether the file was opened.
bool OpenDocument(CDocument& doc, const std::string& path);
// Save / Save As to `path`: on success the document takes the new path and
// title. Returns whether the file was written.
bool SaveDocument(CDocument& doc, const std::string& path);
// File Close / exit.
void CloseDocument(CDocument& doc);
}  // namespace DocumentFlow

// Title of a document that has no file yet.
inline constexpr const char* kUntitledTitle = "Untitled";
