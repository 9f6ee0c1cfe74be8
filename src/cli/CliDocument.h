// Loading and saving a sample document the way the desktop program's File
// Open and Save do, for the commands of ringseam-cli, and the command-line
// loop overrides. Failures come back as one sentence for the user; nothing
// is thrown and no output file is created or changed by a failed save.
#pragma once

#include "cli/CliUserInterface.h"
#include "document/QuorvelDoc.h"

#include <memory>
#include <string>

struct CCliOptions;
struct CCliStreams;

// Opens `path` into `doc` (read, banks and curves computed) through the
// document flow with `ui` as the document's interface. A file of zero bytes
// counts as a failure here: there is no sample to work on. Returns false
// with the reason in strError.
bool LoadSampleDocument(CQuorvelDoc& doc, CCliUserInterface& ui, const std::string& path, std::string& strError);

// --loop sets the loop exactly as given (no normalisation); --no-loop
// removes it, keeping the loop points.
void ApplyLoopOptions(CQuorvelDoc& doc, const CCliOptions& options);

// Saves to `path` through the document flow (temporary file, then rename);
// the format follows the document's rule for the file name.
bool SaveSampleDocument(CQuorvelDoc& doc, CCliUserInterface& ui, const std::string& path, std::string& strError);

// One input of a command, loaded, with the interface it reports through.
// Owns both; the document points at the interface, so they live together.
struct CCliLoaded {
    std::unique_ptr<CCliUserInterface> m_pUi;
    std::unique_ptr<CQuorvelDoc> m_pDoc;
};

// Loads `path` for a command: the document, then --loop / --no-loop and
// --release applied. On failure prints the one error line on io.err and
// returns false.
bool LoadCommandInput(const CCliOptions& options, CCliStreams& io, const std::string& path, CCliLoaded& loaded);

// Saves `doc` to `path` for a command; on failure prints the one error line
// on io.err and returns false.
bool SaveCommandOutput(CQuorvelDoc& doc, CCliUserInterface& ui, CCliStreams& io, const std::string& path);
