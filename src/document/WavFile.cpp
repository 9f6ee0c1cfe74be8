#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/File.h"

// Placeholder until the WAV reader and writer land.
void CQuorvelDoc::ReadWav(CArchive& ar, bool) { throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath()); }
void CQuorvelDoc::WriteWav(CArchive& ar) { throw CArchiveException(CArchiveException::generic, ar.GetFile()->GetFilePath()); }
