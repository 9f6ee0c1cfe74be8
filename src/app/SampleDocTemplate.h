// CSampleDocTemplate: the one document template of the program. It serves
// two file types (.wav and .xi) with one document class, which the usual
// one-extension template cannot: both extensions live in one field of the
// template string, joined by a semicolon, and the two overrides below make
// the file dialogs list both at once and accept either as the template's own.
//
// Pure logic on strings and one optional open document; no Qt, no I/O.
#pragma once

#include <string>

class CDocument;

// "Ringseam\n\n\nSample Files (.wav; .xi)\n.wav;.xi\n\n": window title,
// document name, name for New, filter name, filter extension, registry file
// type, registry type name, separated by line feeds.
inline constexpr const char* kSampleDocTemplateString = "Ringseam\n\n\nSample Files (.wav; .xi)\n.wav;.xi\n\n";

class CSampleDocTemplate {
public:
    // Field numbers of the template string.
    enum DocStringIndex {
        windowTitle = 0,
        docName = 1,
        fileNewName = 2,
        filterName = 3,
        filterExt = 4,
        regFileTypeId = 5,
        regFileTypeName = 6,
    };

    // How sure the template is that a path is its own; the opener picks the
    // template that answers highest.
    enum Confidence {
        noAttempt = 0,
        maybeAttemptForeign = 1,
        maybeAttemptNative = 2,
        yesAttemptForeign = 3,
        yesAttemptNative = 4,
        yesAlreadyOpen = 5,
    };

    explicit CSampleDocTemplate(std::string strDocStrings = kSampleDocTemplateString);
    virtual ~CSampleDocTemplate();

    // Field `index` of the template string ("" when it is missing). The
    // filter-extension field gets an asterisk after its first semicolon
    // (".wav;.xi" gives ".wav;*.xi") so that "*" + it is a two-pattern
    // filter. Always returns true.
    virtual bool GetDocString(std::string& rString, int index) const;

    // Whether `pathName` is the template's own. Sets rpDocMatch to the open
    // document when its path equals pathName byte for byte (yesAlreadyOpen),
    // else to null; an extension equal (ignoring case) to either extension of
    // the template gives yesAttemptNative, anything else yesAttemptForeign.
    virtual Confidence MatchDocType(const std::string& pathName, CDocument*& rpDocMatch) const;

    // The document this template holds (at most one); not owned, may be null.
    void SetDocument(CDocument* pDoc) { m_pDocument = pDoc; }
    CDocument* GetDocument() const { return m_pDocument; }

    // What the file dialogs need, derived from the template string:
    // the filter name ("Sample Files (.wav; .xi)"),
    std::string GetFilterName() const;
    // its patterns ("*.wav", "*.xi"), blank-separated ("*.wav *.xi"),
    std::string GetFilterPatterns() const;
    // and the extension a name typed without one receives ("wav", no dot).
    std::string GetDefaultExtension() const;

    // `pathName` unchanged when its file name has an extension, else with
    // "." + GetDefaultExtension() appended.
    std::string ApplyDefaultExtension(const std::string& pathName) const;

    // The file name proposed by Save As for a document that has no path yet:
    // its title with the first extension (a title already ending in it is
    // kept as is).
    std::string ProposeFileName(const std::string& title) const;

private:
    std::string m_strDocStrings;
    CDocument* m_pDocument = nullptr;
};
