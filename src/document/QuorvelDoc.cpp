#include "document/QuorvelDoc.h"

#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <cctype>
#include <cstring>

CQuorvelDoc::CQuorvelDoc() = default;
CQuorvelDoc::~CQuorvelDoc() = default;

bool CQuorvelDoc::IsModified() { return CDocument::IsModified(); }
void CQuorvelDoc::SetModifiedFlag(bool bModified) { CDocument::SetModifiedFlag(bModified); }

bool CQuorvelDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return false;
    DeleteContents();
    return true;
}

bool CQuorvelDoc::OnOpenDocument(const std::string& path)
{
    return CDocument::OnOpenDocument(path);
}

void CQuorvelDoc::OnCloseDocument()
{
    m_bLoaded = false;
    CDocument::OnCloseDocument();
}

void CQuorvelDoc::DeleteContents()
{
    m_bLoaded = false;
    m_nFrameCount = 0;
    m_bHasLoop = false;
    m_nChannels = 0;
    m_nSampleRate = 44100;
    m_nUnityNote = 60;
    m_nPitchFraction = 0;
    // Assigning a fresh vector frees the storage; `= {}` would only clear it
    // and keep the capacity allocated until the next load.
    m_pSamples = std::vector<double>();
    m_nBankCount = 0;
    m_nBankSize = 0;
    m_pBankSpectra = std::vector<Complex>();
    m_nCurveColumns = 0;
    m_pLoopCurves = std::vector<double>();
    m_bFromXI = false;
    m_pXISampleHeaders = std::vector<XISampleHeader>();
    FreeXISampleData();
    m_sourceEncoding = CSampleEncoding{};
    m_wavChunks = std::vector<CWavChunk>();
    m_fileLoop = CFileLoop{};
    m_undo.Clear(true);
    m_extraLoops = std::vector<CLoopPoints>();
    m_nRelease = -1;
    CDocument::DeleteContents();
    UpdateAllViews(nullptr, 0);
}

void CQuorvelDoc::FreeXISampleData()
{
    m_ppXISampleData = std::vector<std::vector<std::uint8_t>>();
}

void CQuorvelDoc::Serialize(CArchive& ar)
{
    if (ar.IsLoading()) {
        OnNewDocument();
        m_strSourcePath = ar.GetFile()->GetFilePath();
        ReadSampleFile(ar, false);
        ComputeBanks();
        m_bLoaded = true;
    } else {
        WriteSampleFile(ar);
    }
}

void CQuorvelDoc::ReadSampleFile(CArchive& ar, bool bKeepLoop)
{
    std::uint8_t magic[4];
    ar.ReadExact(magic, 4);
    if (!bKeepLoop) {
        m_nUnityNote = 60;
        m_nPitchFraction = 0;
        m_bHasLoop = false;
        m_extraLoops.clear();
        m_nRelease = -1;
    }
    if (std::memcmp(magic, "RIFF", 4) == 0) {
        m_strFileType = "wav";
        ReadWav(ar, bKeepLoop);
    } else if (std::memcmp(magic, "Exte", 4) == 0) {
        m_strFileType = "xi";
        ReadXI(ar, bKeepLoop);
    } else {
        throw CArchiveException(CArchiveException::badIndex, ar.GetFile()->GetFilePath(),
                                "neither a RIFF nor an extended instrument file");
    }
}

void CQuorvelDoc::WriteSampleFile(CArchive& ar)
{
    const std::string name = ar.GetFile()->GetFileName();
    std::string ext;
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        ext = name.substr(dot + 1);
        for (char& ch : ext)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
    } else {
        ext = m_strFileType;
    }
    if (ext == "wav")
        WriteWav(ar);
    else if (ext == "xi")
        WriteXI(ar);
    else
        throw CArchiveException(CArchiveException::generic, ar.GetFile()->GetFilePath(),
                                "the file name must end in .wav or .xi");
}

void CQuorvelDoc::Reload()
{
    if (m_strSourcePath.empty())
        return;
    const auto pFile = CDiskFile::Open(m_strSourcePath, CDiskFile::Mode::Read);
    CArchive ar(pFile.get(), CArchive::load);
    // Read into a scratch document so that a failure part-way leaves this one
    // exactly as it was.
    CQuorvelDoc fresh;
    fresh.SetUserInterface(&GetUserInterface());
    fresh.SetTitle(GetTitle());
    fresh.m_strFileType = m_strFileType;
    fresh.m_bHasLoop = m_bHasLoop;
    fresh.m_nLoopStart = m_nLoopStart;
    fresh.m_nLoopEnd = m_nLoopEnd;
    fresh.m_nUnityNote = m_nUnityNote;
    fresh.m_nPitchFraction = m_nPitchFraction;
    fresh.ReadSampleFile(ar, true);
    pFile->Close();
    // The frames of the document's own file leave the modified flag as it
    // was: they are what the file holds. Frames from another file (the one
    // opened before a Save As, or into an emptied document) that differ from
    // those held make the document differ from its file.
    const bool bChanged = fresh.m_nChannels != m_nChannels || fresh.m_nSampleRate != m_nSampleRate ||
                          fresh.m_pSamples != m_pSamples || fresh.m_nXISampleIndex != m_nXISampleIndex ||
                          fresh.m_bFromXI != m_bFromXI;
    const bool bOwnFile = MakeFullPath(m_strSourcePath) == GetPathName();
    // Frames of another shape get banks and curves of their own, computed
    // before anything here changes.
    const bool bReshaped = fresh.m_nFrameCount != m_nFrameCount || fresh.m_nChannels != m_nChannels ||
                           fresh.m_nSampleRate != m_nSampleRate;
    if (bReshaped) {
        fresh.m_nBankSize = m_nBankSize;
        fresh.ComputeBanksHere();
    }
    m_undo.RecordReplacement(fresh.m_pSamples);
    TakeSampleData(fresh);
    if (bReshaped && fresh.m_nBankSize > 0) {
        m_nBankSize = fresh.m_nBankSize;
        m_nBankCount = fresh.m_nBankCount;
        m_pBankSpectra = std::move(fresh.m_pBankSpectra);
        m_nCurveColumns = fresh.m_nCurveColumns;
        m_pLoopCurves = std::move(fresh.m_pLoopCurves);
    }
    if (bChanged && !bOwnFile)
        SetModifiedFlag();
}

void CQuorvelDoc::TakeSampleData(CQuorvelDoc& from)
{
    m_strFileType = from.m_strFileType;
    m_nChannels = from.m_nChannels;
    m_nFrameCount = from.m_nFrameCount;
    m_nSampleRate = from.m_nSampleRate;
    m_pSamples = std::move(from.m_pSamples);
    m_bFromXI = from.m_bFromXI;
    m_xiHeader = from.m_xiHeader;
    m_pXISampleHeaders = std::move(from.m_pXISampleHeaders);
    m_nXISampleCount = from.m_nXISampleCount;
    m_ppXISampleData = std::move(from.m_ppXISampleData);
    m_nXISampleIndex = from.m_nXISampleIndex;
    m_sourceEncoding = from.m_sourceEncoding;
    m_wavChunks = std::move(from.m_wavChunks);
}

void CQuorvelDoc::NormalizeLoop()
{
    if (!m_bHasLoop)
        return;
    if (m_nFrameCount <= 0) {
        m_bHasLoop = false;
        return;
    }
    if (m_nLoopStart < 0)
        m_nLoopStart = 0;
    if (m_nLoopStart >= m_nFrameCount)
        m_nLoopStart = m_nFrameCount - 1;
    if (m_nLoopEnd <= 0)
        m_nLoopEnd = 1;
    if (m_nLoopEnd > m_nFrameCount)
        m_nLoopEnd = m_nFrameCount;
    if (m_nLoopStart >= m_nLoopEnd)
        m_nLoopEnd = m_nLoopStart + 1;
}

void CQuorvelDoc::EnsureLoop()
{
    if (m_bHasLoop)
        return;
    m_bHasLoop = true;
    m_nLoopStart = 0;
    m_nLoopEnd = m_nFrameCount;
}
