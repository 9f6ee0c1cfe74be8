// CUndoHistory: the steps Edit > Undo and Redo walk through. A step holds the
// document's small editable state before and after it (CEditState, copied
// whole) and, for edits of the frames, only the sample values it changed.
// Those values are kept in one buffer per changed range and swapped with the
// document's on every undo and redo, so a step costs the changed values once,
// never a copy of the whole sample.
//
// How a change registers itself (the document does it through
// CQuorvelDoc::BeginUndoStep / EndUndoStep, which pass its state and frames):
//   1. Before the change: Begin(name, state now, frames).
//   2. Before any sample value is overwritten: RecordValues(first, count), or
//      RecordReplacement(new values) when the whole frame vector is replaced.
//   3. After the change: End(state now). A step that changed nothing is
//      dropped. Begin/End pairs nest: only the outermost pair makes a step;
//      an outer pair begun without a name takes the first name given inside
//      it (a command run on another loop than the first).
// New document state (a pitch fraction, a list of loops, a marker) needs no
// new call: add the member to CEditState and one line each to
// CQuorvelDoc::GetEditState and SetEditState.
//
// After an undo or redo that changed the number of frames, the document
// computes its spectral banks again (CQuorvelDoc::Undo / Redo).
//
// Bounds: at most kMaxSteps steps and kMaxBytes bytes of stored values; the
// oldest steps go first. A step larger than the whole budget is not kept.
//
// The saved state: MarkSaved notes the position of the file's contents;
// IsAtSavedState tells whether undo/redo came back to it.
//
// Units: sample values (frame × channels + channel) in the frame vector,
// bytes for the budget. Owned by the document; user-interface thread only.
// Allocation failures throw std::bad_alloc with the history unchanged.
#pragma once

#include "document/LoopPoints.h"
#include "document/SampleSource.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The document state every step copies whole: small, compared with ==.
struct CEditState {
    bool m_bHasLoop = false;
    std::int32_t m_nLoopStart = 0;  // frames
    std::int32_t m_nLoopEnd = 0;    // frames, exclusive
    std::int32_t m_nUnityNote = 60;
    std::uint32_t m_nPitchFraction = 0;  // 1/2^32 semitone above the unity note
    // The shape of the frames: changes only with a replacement of the whole
    // frame vector (a reload of a file that changed on disk).
    std::int32_t m_nChannels = 0;
    std::int32_t m_nFrameCount = 0;
    std::int32_t m_nSampleRate = 0;
    // The loops after the first, the release marker (frames, −1 none), the
    // file's loop as read (a trim moves it with the frames, so the first
    // loop keeps the file's type) and the file Reload reads (a trim forgets
    // it: the trimmed frames are no longer that file's).
    std::vector<CLoopPoints> m_extraLoops;
    std::int32_t m_nRelease = -1;
    CFileLoop m_fileLoop;
    std::string m_strSourcePath;

    friend bool operator==(const CEditState&, const CEditState&) = default;
};

class CUndoHistory {
public:
    // 100 steps cover a long session of loop edits; 256 MB keeps about three
    // whole-sample edits of a 10-minute stereo file while staying well below
    // the memory of the file itself.
    static constexpr std::size_t kMaxSteps = 100;
    static constexpr std::size_t kMaxBytes = std::size_t(256) << 20;

    explicit CUndoHistory(std::size_t maxBytes = kMaxBytes, std::size_t maxSteps = kMaxSteps);

    void Begin(const std::string& name, const CEditState& before, std::vector<double>& frames);
    bool IsRecording() const { return m_nDepth > 0; }
    // Values first … first + count − 1 of the frames are about to change
    // (cut to the vector; ignored while not recording).
    void RecordValues(std::size_t first, std::size_t count);
    // The frames are about to become `replacement`: of the same size, the
    // runs of values that differ are kept; otherwise the whole vector.
    void RecordReplacement(const std::vector<double>& replacement);
    // Returns whether a step was added.
    bool End(const CEditState& after);

    bool CanUndo() const { return m_nPosition > 0; }
    bool CanRedo() const { return m_nPosition < m_steps.size(); }
    // The name of the step Undo / Redo would take back or bring back ("" none).
    std::string UndoName() const;
    std::string RedoName() const;
    // Take back / bring back one step: the frames get its values and the
    // returned state is the one the document must take. Call only when
    // CanUndo / CanRedo.
    CEditState Undo(std::vector<double>& frames);
    CEditState Redo(std::vector<double>& frames);

    // Forgets every step; atSavedState tells whether the document now equals
    // its file.
    void Clear(bool atSavedState);
    void MarkSaved() { m_nSaved = static_cast<long long>(m_nPosition); }
    bool IsAtSavedState() const { return m_nSaved == static_cast<long long>(m_nPosition); }

    std::size_t GetStepCount() const { return m_steps.size(); }
    std::size_t GetBytes() const { return m_nBytes; }

private:
    struct Patch {
        bool m_bWhole = false;  // the whole vector (its size changed)
        std::size_t m_nFirst = 0;
        std::vector<double> m_values;  // the values not in the document now
    };
    struct Step {
        std::string m_strName;
        CEditState m_before;
        CEditState m_after;
        std::vector<Patch> m_patches;
        std::size_t m_nBytes = 0;
    };
    static void Swap(Patch& patch, std::vector<double>& frames);
    void Trim();

    std::size_t m_nMaxBytes;
    std::size_t m_nMaxSteps;
    std::vector<Step> m_steps;
    std::size_t m_nPosition = 0;  // steps applied
    long long m_nSaved = 0;       // position of the file's contents; −1: none
    std::size_t m_nBytes = 0;
    int m_nDepth = 0;
    Step m_open;
    std::vector<double>* m_pFrames = nullptr;
};
