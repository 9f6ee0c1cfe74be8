#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/File.h"

// Placeholder until the XI reader and writer land.
void CQuorvelDoc::ReadXI(CArchive& ar, bool) { throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath()); }
void CQuorvelDoc::WriteXI(CArchive& ar) { throw CArchiveException(CArchiveException::generic, ar.GetFile()->GetFilePath()); }
