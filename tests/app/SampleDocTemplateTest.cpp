#include "app/SampleDocTemplate.h"

#include "framework/Archive.h"
#include "framework/Document.h"

#include <gtest/gtest.h>

namespace {

class CPathOnlyDoc : public CDocument {
public:
    void Serialize(CArchive&) override {}
    void SetPathDirectly(const std::string& path) { m_strPathName = path; }
};

TEST(SampleDocTemplate, DocStringsOfEveryField)
{
    const CSampleDocTemplate templ;
    const char* expected[] = {"Ringseam", "", "", "Sample Files (.wav; .xi)", ".wav;*.xi", "", ""};
    for (int i = 0; i < 7; ++i) {
        std::string s = "stale";
        EXPECT_TRUE(templ.GetDocString(s, i)) << i;
        EXPECT_EQ(s, expected[i]) << i;
    }
    std::string s = "stale";
    EXPECT_TRUE(templ.GetDocString(s, 9));  // beyond the last field
    EXPECT_EQ(s, "");
}

TEST(SampleDocTemplate, ExtensionFieldWithoutSemicolonIsUnchanged)
{
    const CSampleDocTemplate templ("T\n\n\nWaves\n.wav\n\n");
    std::string s;
    EXPECT_TRUE(templ.GetDocString(s, CSampleDocTemplate::filterExt));
    EXPECT_EQ(s, ".wav");
    CDocument* p = nullptr;
    EXPECT_EQ(templ.MatchDocType("/x/a.WAV", p), CSampleDocTemplate::yesAttemptNative);
    EXPECT_EQ(templ.MatchDocType("/x/a.xi", p), CSampleDocTemplate::yesAttemptForeign);
}

TEST(SampleDocTemplate, MatchesBothExtensionsInAnyCase)
{
    const CSampleDocTemplate templ;
    for (const char* path : {"/s/a.wav", "/s/a.WAV", "/s/a.Wav", "/s/b.xi", "/s/b.XI", "rel.xI"}) {
        CDocument* p = reinterpret_cast<CDocument*>(1);
        EXPECT_EQ(templ.MatchDocType(path, p), CSampleDocTemplate::yesAttemptNative) << path;
        EXPECT_EQ(p, nullptr);
    }
}

TEST(SampleDocTemplate, OtherPathsAreForeign)
{
    const CSampleDocTemplate templ;
    for (const char* path : {"/s/a.wav.bak", "/s/a.wa", "/s/a.aiff", "/s/folder.wav/name", "/s/noext", "plain",
                             "/s/a.xi2", "/s/a.", ""}) {
        CDocument* p = nullptr;
        EXPECT_EQ(templ.MatchDocType(path, p), CSampleDocTemplate::yesAttemptForeign) << path;
    }
}

TEST(SampleDocTemplate, MissingExtensionFieldFallsBackToForeign)
{
    const CSampleDocTemplate templ("Only a title");
    CDocument* p = nullptr;
    EXPECT_EQ(templ.MatchDocType("/s/a.wav", p), CSampleDocTemplate::yesAttemptForeign);
}

TEST(SampleDocTemplate, OpenDocumentMatchesOnlyItsExactSpelling)
{
    CSampleDocTemplate templ;
    CPathOnlyDoc doc;
    doc.SetPathDirectly("/samples/Cello.wav");
    templ.SetDocument(&doc);

    CDocument* p = nullptr;
    EXPECT_EQ(templ.MatchDocType("/samples/Cello.wav", p), CSampleDocTemplate::yesAlreadyOpen);
    EXPECT_EQ(p, &doc);
    EXPECT_EQ(templ.MatchDocType("/samples/cello.wav", p), CSampleDocTemplate::yesAttemptNative);
    EXPECT_EQ(p, nullptr);

    // An untitled document (no path) is not the open copy of a named file.
    doc.SetPathDirectly("");
    EXPECT_EQ(templ.MatchDocType("/samples/Cello.wav", p), CSampleDocTemplate::yesAttemptNative);
}

TEST(SampleDocTemplate, FileDialogFilterAndDefaultExtension)
{
    const CSampleDocTemplate templ;
    EXPECT_EQ(templ.GetFilterName(), "Sample Files (.wav; .xi)");
    EXPECT_EQ(templ.GetFilterPatterns(), "*.wav *.xi");
    EXPECT_EQ(templ.GetDefaultExtension(), "wav");
    EXPECT_EQ(templ.ApplyDefaultExtension("/out/loop"), "/out/loop.wav");
    EXPECT_EQ(templ.ApplyDefaultExtension("/out.d/loop"), "/out.d/loop.wav");
    EXPECT_EQ(templ.ApplyDefaultExtension("/out/loop.xi"), "/out/loop.xi");
    EXPECT_EQ(templ.ApplyDefaultExtension("/out/loop.aiff"), "/out/loop.aiff");
    EXPECT_EQ(templ.ProposeFileName("Untitled"), "Untitled.wav");
    EXPECT_EQ(templ.ProposeFileName("piano.xi"), "piano.xi");
}

}  // namespace
