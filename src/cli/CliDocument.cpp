#include "cli/CliDocument.h"

#include "cli/CliCommands.h"
#include "cli/CliLoops.h"
#include "cli/CliOptions.h"
#include "cli/CliUserInterface.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// What the document's writer decides from a file name: the lower-case
// extension, or "" when there is none.
std::string SaveExtension(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
    return ext;
}

std::string Failure(CCliUserInterface& ui, const CQuorvelDoc& doc, const char* fallback)
{
    std::string why = ui.TakeFailure();
    if (why.empty())
        why = doc.GetLastFailure();
    return why.empty() ? fallback : why;
}

}  // namespace

bool LoadSampleDocument(CQuorvelDoc& doc, CCliUserInterface& ui, const std::string& path, std::string& strError)
{
    doc.SetUserInterface(&ui);
    if (!DocumentFlow::OpenDocument(doc, path)) {
        strError = Failure(ui, doc, "Failed to open document.");
        return false;
    }
    if (!doc.m_bLoaded) {
        strError = "the file is empty.";
        return false;
    }
    return true;
}

void ApplyLoopOptions(CQuorvelDoc& doc, const CCliOptions& options)
{
    if (options.m_bSetLoop) {
        doc.m_bHasLoop = true;
        doc.m_nLoopStart = options.m_nLoopStart;
        doc.m_nLoopEnd = options.m_nLoopEnd;
    } else if (options.m_bNoLoop) {
        doc.m_bHasLoop = false;
    }
}

bool SaveSampleDocument(CQuorvelDoc& doc, CCliUserInterface& ui, const std::string& path, std::string& strError)
{
    if (DocumentFlow::SaveDocument(doc, path))
        return true;
    strError = Failure(ui, doc, "Failed to save document.");
    const std::string ext = SaveExtension(path);
    if (!ext.empty() && ext != "wav" && ext != "xi")
        strError += " The output file name must end in .wav or .xi.";
    return false;
}

bool LoadCommandInput(const CCliOptions& options, CCliStreams& io, const std::string& path, CCliLoaded& loaded)
{
    loaded.m_pUi = std::make_unique<CCliUserInterface>(options.m_nXISample, &io.err, io.bErrIsTerminal,
                                                       options.m_bQuiet);
    loaded.m_pDoc = std::make_unique<CQuorvelDoc>();
    std::string why;
    if (!LoadSampleDocument(*loaded.m_pDoc, *loaded.m_pUi, path, why)) {
        PrintCliError(io.err, path, why);
        return false;
    }
    ApplyLoopOptions(*loaded.m_pDoc, options);
    if (!ApplyReleaseOption(*loaded.m_pDoc, options, why)) {
        PrintCliError(io.err, path, why);
        return false;
    }
    return true;
}

bool SaveCommandOutput(CQuorvelDoc& doc, CCliUserInterface& ui, CCliStreams& io, const std::string& path)
{
    std::string why;
    if (SaveSampleDocument(doc, ui, path, why))
        return true;
    PrintCliError(io.err, path, why);
    return false;
}
