#include "framework/Document.h"

#include "framework/Archive.h"
#include "framework/File.h"

#include <algorithm>
#include <memory>
#include <new>

CDocument::CDocument() = default;
CDocument::~CDocument() = default;

bool CDocument::IsModified() { return m_bModified; }
void CDocument::SetModifiedFlag(bool bModified)
{
    if (m_bModified == bModified)
        return;
    m_bModified = bModified;
    if (m_modifiedListener)
        m_modifiedListener(bModified);
}
void CDocument::DeleteContents() {}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path)
{
    std::unique_ptr<CFile> file;
    try {
        file = CDiskFile::Open(path, CDiskFile::Mode::Read);
    } catch (const std::exception& e) {
        ReportSaveLoadException(e, FailureContext::Open);
        return false;
    }
    DeleteContents();
    SetModifiedFlag(true);  // dirty while reading; cleared on success
    try {
        CArchive ar(file.get(), CArchive::load);
        if (file->GetLength() != 0)
            Serialize(ar);
        file->Close();
    } catch (const std::bad_alloc&) {
        file.reset();
        DeleteContents();
        SetModifiedFlag(true);  // the contents were replaced (Serialize may have cleared the flag)
        ReportSaveLoadException(CMemoryException(), FailureContext::Open);
        return false;
    } catch (const std::exception& e) {
        file.reset();
        DeleteContents();
        SetModifiedFlag(true);
        ReportSaveLoadException(e, FailureContext::Open);
        return false;
    }
    SetModifiedFlag(false);
    m_strLastFailure.clear();
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    try {
        // Destroying the file unclosed (on an exception) drops the temporary
        // file and leaves the target as it was.
        const std::unique_ptr<CFile> file = CDiskFile::Open(path, CDiskFile::Mode::Write);
        CArchive ar(file.get(), CArchive::store);
        Serialize(ar);
        file->Close();
    } catch (const std::bad_alloc&) {
        ReportSaveLoadException(CMemoryException(), FailureContext::Save);
        return false;
    } catch (const std::exception& e) {
        ReportSaveLoadException(e, FailureContext::Save);
        return false;
    }
    SetModifiedFlag(false);
    m_strLastFailure.clear();
    return true;
}

void CDocument::OnCloseDocument()
{
    DeleteContents();
}

void CDocument::SetPathName(const std::string& path)
{
    m_strPathName = MakeFullPath(path);
    const auto slash = m_strPathName.find_last_of("/\\");
    m_strTitle = slash == std::string::npos ? m_strPathName : m_strPathName.substr(slash + 1);
}

void CDocument::AddView(IDocumentView* pView)
{
    if (std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CDocument::RemoveView(IDocumentView* pView)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
}

void CDocument::UpdateAllViews(IDocumentView* pSender, long lHint)
{
    // Copy: a view may unregister itself while being updated.
    const auto views = m_views;
    for (IDocumentView* v : views)
        if (v != pSender)
            v->OnDocumentUpdate(pSender, lHint);
}

IUserInterface& CDocument::GetUserInterface() const
{
    return m_pUi ? *m_pUi : DefaultUserInterface();
}

void CDocument::ReportSaveLoadException(const std::exception& e, FailureContext context)
{
    if (dynamic_cast<const CUserException*>(&e)) {
        m_strLastFailure.clear();
        return;
    }
    m_strLastFailure = FailureMessage(e, context);
    GetUserInterface().ShowMessage(m_strLastFailure, "", MessageIcon::Stop);
}

namespace DocumentFlow {

bool NewDocument(CDocument& doc)
{
    if (!doc.OnNewDocument())
        return false;
    doc.SetTitle(kUntitledTitle);
    return true;
}

namespace {

// The file has been read or written; only the document's name is left to
// follow it. Should even that fail (out of memory), the user is told and
// nothing is thrown past the flow: a saved document keeps its old name, an
// opened one is untitled rather than named after the file before.
void AdoptPath(CDocument& doc, const std::string& path, FailureContext context)
{
    try {
        doc.SetPathName(path);
    } catch (const std::exception& e) {
        if (context == FailureContext::Open)
            doc.SetTitle(kUntitledTitle);
        doc.ReportSaveLoadException(e, context);
    }
}

}  // namespace

bool OpenDocument(CDocument& doc, const std::string& path)
{
    const bool wasModified = doc.IsModified();
    if (!doc.OnOpenDocument(path)) {
        if (!doc.IsModified()) {
            // Failed before anything was read: the document is untouched.
            doc.SetModifiedFlag(wasModified);
        } else {
            // The contents were replaced part-way: start over empty.
            doc.SetTitle(kUntitledTitle);
            doc.OnNewDocument();
        }
        return false;
    }
    AdoptPath(doc, path, FailureContext::Open);
    return true;
}

bool SaveDocument(CDocument& doc, const std::string& path)
{
    if (!doc.OnSaveDocument(path))
        return false;
    AdoptPath(doc, path, FailureContext::Save);
    return true;
}

void CloseDocument(CDocument& doc)
{
    doc.OnCloseDocument();
}

}  // namespace DocumentFlow
