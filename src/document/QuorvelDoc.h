// CQuorvelDoc: the one sample document. It holds the frames of one sample as
// doubles (nominally −1.0 … +1.0), its format, its loop and unity note, the
// data of the XI instrument it came from, and the spectral banks and loop
// curves computed when it was opened. It is the only place where sample
// files are read, re-read and written.
//
// Threading: owned by the user-interface thread. During a load the bank
// worker reads m_pSamples and writes m_pBankSpectra while the UI thread only
// waits in the progress; nothing else touches the document then.
//
// Failure: reading and writing throw CArchiveException / CFileException /
// CMemoryException; the framework flow (CDocument) reports them.
#pragma once

#include "analysis/Fft.h"
#include "analysis/Trim.h"
#include "document/LoopPoints.h"
#include "analysis/Pitch.h"
#include "analysis/Tuning.h"
#include "document/SampleSource.h"
#include "document/UndoHistory.h"
#include "document/XIFormat.h"
#include "framework/Document.h"

#include <complex>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CArchive;

using Complex = std::complex<double>;

class CQuorvelDoc : public CDocument {
public:
    CQuorvelDoc();
    ~CQuorvelDoc() override;

    // --- framework overrides -------------------------------------------------
    void Serialize(CArchive& ar) override;
    bool IsModified() override;
    void SetModifiedFlag(bool bModified = true) override;
    void DeleteContents() override;
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    void OnCloseDocument() override;

    // --- sample access (frame first, channel second; no locking) -------------
    double GetSample(int frame, int channel) const
    {
        return m_pSamples[std::size_t(frame) * std::size_t(m_nChannels) + std::size_t(channel)];
    }
    // 0.0 outside 0 … m_nFrameCount − 1 (the channel is not tested).
    double GetSampleChecked(int frame, int channel) const
    {
        if (frame < 0 || frame >= m_nFrameCount)
            return 0.0;
        return GetSample(frame, channel);
    }
    void SetSample(int frame, int channel, double value)
    {
        m_pSamples[std::size_t(frame) * std::size_t(m_nChannels) + std::size_t(channel)] = value;
    }
    // Ignored outside 0 … m_nFrameCount − 1.
    void SetSampleChecked(int frame, int channel, double value)
    {
        if (frame < 0 || frame >= m_nFrameCount)
            return;
        SetSample(frame, channel, value);
    }
    // value × scale truncated toward zero (no clipping): 16383 for playback,
    // 63 for drawing (more when the view amplifies). (The file writers use
    // 32768 for 16-bit data and clip to its range, SampleCoding.h.)
    // Out-of-range products saturate at the int32 limits instead of being
    // undefined.
    int GetSampleScaled(int frame, int channel, int scale) const
    {
        return ScaleSample(GetSample(frame, channel), scale);
    }
    static int ScaleSample(double value, double scale)
    {
        const double p = value * scale;
        if (!(p > -2147483648.0))  // also NaN
            return p != p ? 0 : INT32_MIN;
        if (p >= 2147483647.0)
            return INT32_MAX;
        return static_cast<int>(p);
    }

    // --- loop operations -----------------------------------------------------
    // Brings a set loop into 0 ≤ start < end ≤ m_nFrameCount (start clamped
    // first, end pushed past it); drops it when there are no frames.
    void NormalizeLoop();
    // Makes the whole sample the loop when no loop is set.
    void EnsureLoop();

    // --- file operations -----------------------------------------------------
    // Reads one sample file from a loading archive at the start of the file,
    // choosing the reader by the first four bytes. With bKeepLoop the loop
    // points, m_bHasLoop and m_nUnityNote are left as they are.
    void ReadSampleFile(CArchive& ar, bool bKeepLoop);
    // Writes WAV or XI by the extension of the archive's file name (or, with
    // none, m_strFileType); anything else throws CArchiveException::generic.
    void WriteSampleFile(CArchive& ar);
    // Re-reads the frames of m_strSourcePath keeping loop and unity note.
    // When that file is not the document's own (after a Save As, or into an
    // emptied document) and its frames differ from those held, the document
    // is marked modified. Nothing happens when m_strSourcePath is empty. On
    // failure the document is left exactly as it was and the exception
    // reaches the caller. Frames of another length, channel count or rate
    // get their banks and curves computed again (ComputeBanksHere).
    void Reload();
    void ReadWav(CArchive& ar, bool bKeepLoop);
    void ReadXI(CArchive& ar, bool bKeepLoop);
    void WriteWav(CArchive& ar);
    void WriteXI(CArchive& ar);
    void FreeXISampleData();

    // --- spectral banks and curves ---------------------------------------------
    // Allocates the banks, computes them on the worker thread behind the
    // progress (IUserInterface::RunProgress), then both curves. Throws
    // CUserException when the user cancels.
    void ComputeBanks();
    void AllocateBanks();
    // Worker thread: the spectrum of one bank of one channel.
    void ComputeBank(int bank, int channel);
    Complex* BankSpectrum(int bank, int channel);
    const Complex* BankSpectrum(int bank, int channel) const;
    double SpectrumLevel(const Complex* p) const;
    double SpectrumDistance(const Complex* p, const Complex* q) const;
    double BankDistance(int i, int j) const;
    void ComputeBeginLoopCurve();
    void ComputeEndLoopCurve();
    double GetCurve(int bank, int column) const
    {
        return m_pLoopCurves[std::size_t(bank) * std::size_t(m_nCurveColumns) + std::size_t(column)];
    }
    void SetCurve(int bank, int column, double value)
    {
        m_pLoopCurves[std::size_t(bank) * std::size_t(m_nCurveColumns) + std::size_t(column)] = value;
    }

    // --- loop search, crossfade, filter ----------------------------------------
    void FindLoop();
    double LoopScore(int start, int candidate, double limit) const;
    // The score of the loop start..end as the search rates it (lower is
    // better), without the early exit; NaN when the document has no banks.
    // What the command line's score command and the status bar show.
    double SeamScore(int start, int end) const;
    void Crossfade(int length);
    // The crossfade length the Find Loop + Crossfade command uses for the
    // current loop: 8 × N for loops longer than 32 × N frames, else a quarter.
    int CrossfadeLengthForLoop() const;
    // Reload, FindLoop, then Crossfade with CrossfadeLengthForLoop() when a
    // loop is set. A failing Reload throws before anything else happens.
    void FindLoopCrossfade();
    void SpectralCombFilter();
    // Places a seamless loop in the steady part of the frames, ignoring any
    // loop set (see FindAutoLoop); the frames do not change. Without a
    // steady part long enough the loop stays as it was, kNoSteadyPartMessage
    // goes to the user interface (as a warning) and the result is false.
    // Computes the banks first when they do not describe the frames.
    bool AutoLoop();
    // Reload, AutoLoop, then Crossfade with CrossfadeLengthForLoop() when a
    // loop was found. A failing Reload throws before anything else happens.
    bool AutoLoopCrossfade();
    // --- Auto Loop of several loops (analysis/AutoLoopDocument.cpp) ---
    // Replaces every loop by up to `count` distinct loops of the steady part
    // (FindAutoLoops), best first, and returns how many (fewer than `count`
    // when fewer clean ones exist: FewerAutoLoopsMessage says so). Without a
    // steady part long enough the loops stay, kNoSteadyPartMessage goes to
    // the user interface (as a warning) and the result is 0. The caller
    // marks the document modified.
    int AutoLoops(int count);

    // --- undo history (document/UndoHistory.h) ---------------------------------
    // Opens and closes an undo step named `name` ("Auto Loop") around a change
    // of the document; pairs nest, the outermost makes the step.
    void BeginUndoStep(const std::string& name);
    void EndUndoStep();
    // Frames first … first + count − 1 (all channels) are about to be
    // rewritten; kept for undo while a step is open.
    void RecordFrameEdit(std::int64_t first, std::int64_t count);
    // The state every undo step copies whole; a new member of CEditState
    // gets one line in each.
    CEditState GetEditState() const;
    void SetEditState(const CEditState& state);
    // Take back / bring back one step (nothing without one); the modified
    // mark then tells whether the document is back at its file's contents.
    // After a step that changed the number of frames (a trim) the banks and
    // curves are computed again for the frames now held.
    void Undo();
    void Redo();
    // Whether the banks and curves have the shape of frames of this length,
    // channel count and rate.
    bool BanksDescribeFrames() const;
    // Computes the banks and curves again here, on this thread, without a
    // progress (a trim, an undo): always, or only when their shape is not
    // the frames'. Nothing for a document that never had banks (bank size
    // 0), so readers still check m_nBankCount.
    void ComputeBanksHere();
    void ComputeBanksIfStale();
    const CUndoHistory& GetUndoHistory() const { return m_undo; }
    // After Reload: the steps no longer lead back to frames held.
    void ClearUndoHistory() { m_undo.Clear(!IsModified()); }
    // Exchanges everything the document holds (frames, loop, format, banks,
    // curves, history; not path, title or modified mark) with `other`, so an
    // open that fails can put the previous document back. A new data member
    // gets one line here.
    void SwapContents(CQuorvelDoc& other);
    bool OnSaveDocument(const std::string& path) override;
    // --- several loops, the release marker, trimming (QuorvelDocLoops.cpp) ---
    // Every loop: the first (m_bHasLoop … m_nLoopEnd, with the file's type
    // while unchanged) then m_extraLoops. Empty without a first loop.
    std::vector<CLoopPoints> GetLoops() const;
    // Replaces every loop: the first becomes the loop the other commands
    // work on, the rest m_extraLoops. Positions are taken as given; the
    // caller marks the document modified and updates the views.
    void SetLoops(const std::vector<CLoopPoints>& loops);
    // Sets the release marker (frames; −1 removes it), kept within the frames.
    void SetRelease(std::int32_t frame);
    // Where the release starts by the level (FindReleaseFrame): after the
    // last loop, or after the attack without one. −1 without frames.
    std::int32_t FindRelease() const;
    // Cuts `cut` (PlanTrim) from the frames: loops and release marker move
    // with the frames, the fades are applied and the banks and curves are
    // computed again for the new frames. The frames no longer are the
    // file's, so Reload has nothing to re-read afterwards.
    void Trim(const CTrimCut& cut);
    // The cut PlanTrim gives for `settings`, protecting every loop and the
    // release marker.
    CTrimCut PlanTrimCut(const CTrimSettings& settings) const;
    // Makes `to` a new document holding only the frames of loop `index`
    // (0 = the first) with one loop over all of them, in this document's
    // format and encoding. False when there is no such loop or it lies
    // outside the frames; `to` is then left as it was.
    bool CopyLoopInto(int index, CQuorvelDoc& to) const;
    // Runs `op` (any command that works on the first loop) on loop `index`
    // instead: that loop takes the first place while op runs and goes back
    // to its own afterwards, keeping its type when op left it unchanged;
    // when op removed it, it leaves the list. With index 0 (or one out of
    // range) op just runs. Afterwards a list without a first loop moves its
    // next loop up.
    void RunOnLoop(int index, const std::function<void()>& op);
    // --- tuning ----------------------------------------------------------------
    // The unity note and pitch fraction as stored.
    CTuning GetTuning() const { return CTuning{m_nUnityNote, m_nPitchFraction}; }
    // The one way the tuning changes: sets the unity note and pitch fraction
    // and marks the document modified when they differ from those held.
    void SetTuning(const CTuning& tuning);
    // The pitch of the frames' steady part (DetectPitch), or, for a sample
    // too short to hold it, of its loop repeated (DetectLoopedPitch);
    // nullopt without frames or a steady pitch.
    std::optional<CPitch> DetectPitch() const;
    // Detect Pitch: sets the tuning to the detected pitch. Without a steady
    // pitch kNoSteadyPitchMessage goes to the user interface (as a warning),
    // the tuning stays and the result is false.
    bool DetectAndSetTuning();

    // --- data (declared order of the original document) ------------------------
    std::string m_strFileType;    // "wav" or "xi": format of the file last read
    std::string m_strSourcePath;  // full path of the file last opened; what Reload reads
    std::int32_t m_nChannels = 0;
    bool m_bHasLoop = false;
    std::int32_t m_nLoopEnd = 0;    // frames, exclusive
    std::int32_t m_nLoopStart = 0;  // frames
    std::int32_t m_nFrameCount = 0;
    std::int32_t m_nSampleRate = 44100;  // frames per second
    std::int32_t m_nBankSize = 0;        // frames per bank (N)
    std::int32_t m_nBankCount = 0;       // B = m_nFrameCount / N
    std::int32_t m_nUnityNote = 60;      // MIDI note
    bool m_bFromXI = false;
    XIHeader m_xiHeader;
    std::vector<XISampleHeader> m_pXISampleHeaders;         // empty = null
    std::int32_t m_nXISampleCount = 0;
    std::vector<std::vector<std::uint8_t>> m_ppXISampleData;  // empty entry = null
    std::int32_t m_nXISampleIndex = 0;
    bool m_bLoaded = false;
    std::int32_t m_nCurveColumns = 0;
    std::vector<double> m_pSamples;       // frame-major, m_nFrameCount × m_nChannels
    std::vector<Complex> m_pBankSpectra;  // ((N × B) / 2) × channels bins
    std::vector<double> m_pLoopCurves;    // B rows × m_nCurveColumns
    // What the file last read holds beyond the frames (SampleSource.h): how
    // its samples were stored (a WAV save keeps an encoding wider than 16
    // bits), the WAV chunks the program does not own (written back on a WAV
    // save; none after an XI), and its loop as read (a save keeps the file's
    // loop type while the loop is unchanged). Read again by Reload, except
    // the loop; reset by DeleteContents.
    CSampleEncoding m_sourceEncoding;
    std::vector<CWavChunk> m_wavChunks;
    CFileLoop m_fileLoop;
    // The steps Edit > Undo and Redo walk; cleared with the contents.
    CUndoHistory m_undo;
    // The loops after the first, in file order ("smpl" records 2, 3, …), and
    // the release marker (frames, −1 none; the first "cue " point). Both are
    // left as they are by Reload and reset by DeleteContents.
    std::vector<CLoopPoints> m_extraLoops;
    std::int32_t m_nRelease = -1;

    // --- tuning data ------------------------------------------------------------
    // The part of a semitone above m_nUnityNote in 1/2³² semitone, as the
    // "smpl" chunk stores it: kept exactly as read (0 without one; from the
    // finetune after an XI) until SetTuning changes it. Kept by Reload.
    std::uint32_t m_nPitchFraction = 0;

private:
    // Takes the state an undo or redo gives, with banks for its frames and
    // the modified mark of its place in the history.
    void TakeHistoryState(const CEditState& state);
    // Moves what a read fills (frames, format, XI data, and the loop and
    // unity note unless they were kept) from `from` into this document.
    void TakeSampleData(CQuorvelDoc& from);

    // The transform state of this document: used by the bank worker while
    // the banks are computed and by the comb filter on the UI thread, never
    // by both at once.
    FftContext m_fft;
};
