#include "FuzzTargets.h"

#include "cli/LoopTable.h"
#include "document/QuorvelDoc.h"
#include "document/WavFormat.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <thread>
#include <typeinfo>
#include <vector>

namespace FuzzTargets {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Work caps of the pipeline, so that one input stays in the milliseconds:
// samples of all channels (banks, crossfade, filter are linear in it) and the
// bank size (the loop search is quadratic in it). 1024 frames per bank keeps
// 44.1 and 48 kHz, the rates most files have, inside the pipeline.
constexpr std::int64_t kMaxPipelineSamples = std::int64_t(1) << 16;
constexpr std::int64_t kMaxPipelineBankSize = 1024;

// Answers like a user: a preset sample number (or Cancel), progress that runs
// to the end (or is cancelled at once), and messages only counted. Progress
// is spin-polled instead of every 50 ms to keep runs fast.
class CFuzzUserInterface : public IUserInterface {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override { ++m_nMessages; }

    std::optional<int> ChooseSample(int nSampleCount) override
    {
        ++m_nAsked;
        m_nOffered = nSampleCount;
        if (!m_nChoice || *m_nChoice < 1 || *m_nChoice > nSampleCount)
            return std::nullopt;
        return m_nChoice;
    }

    bool RunProgress(IProgressSource& source) override
    {
        ++m_nProgressRuns;
        const int total = source.GetTotal();
        if (m_bCancelProgress) {
            source.Cancel();
            return false;
        }
        while (source.PollDone() != total)
            std::this_thread::yield();
        return true;
    }

    std::optional<int> m_nChoice = 1;
    bool m_bCancelProgress = false;
    int m_nOffered = 0;
    int m_nAsked = 0;
    int m_nMessages = 0;
    int m_nProgressRuns = 0;
};

// Collects the first violated invariant.
class CChecker {
public:
    template <typename... Args>
    void Fail(const Args&... parts)
    {
        if (!m_strFirst.empty())
            return;
        std::ostringstream out;
        (out << ... << parts);
        m_strFirst = out.str();
    }
    bool Ok() const { return m_strFirst.empty(); }
    std::string m_strFirst;
};

// Outcome of one read: whether it loaded, and the archive cause when it was
// refused with an archive exception (none otherwise).
struct ReadResult {
    bool bLoaded = false;
    CArchiveException::Cause cause = CArchiveException::none;
    std::string strWhy;  // the exception's text and detail, for reports
};

ReadResult ReadInto(CQuorvelDoc& doc, const Bytes& bytes, bool bKeepLoop, CChecker& check, const char* step)
{
    CMemFile file("/fuzz/input", bytes);
    CArchive ar(&file, CArchive::load);
    ReadResult result;
    try {
        doc.ReadSampleFile(ar, bKeepLoop);
        result.bLoaded = true;
    } catch (const CArchiveException& e) {
        result.cause = e.m_cause;
        result.strWhy = std::string(e.what()) + " " + e.m_strDetail;
    } catch (const CException& e) {
        // File and memory exceptions are reported like any refusal.
        result.strWhy = e.what();
    } catch (const std::exception& e) {
        check.Fail(step, ": the reader threw ", typeid(e).name(), " (", e.what(),
                   ") instead of a file or archive exception");
    }
    return result;
}

std::int32_t HeaderLength(const XISampleHeader& h)
{
    return std::int32_t(ReadLE32(h.bytes.data()));
}

// What a document that loaded must look like.
void CheckLoaded(const CQuorvelDoc& doc, const std::uint8_t* data, CChecker& check, const char* step)
{
    // A RIFF file without "fmt " and "data" loads as no frames of no channels.
    const bool bNoFormat = doc.m_nChannels == 0 && doc.m_nFrameCount == 0;
    if (doc.m_nChannels != 1 && doc.m_nChannels != 2 && !bNoFormat)
        check.Fail(step, ": loaded with ", doc.m_nChannels, " channels and ", doc.m_nFrameCount, " frames");
    if (doc.m_nFrameCount < 0)
        check.Fail(step, ": negative frame count ", doc.m_nFrameCount);
    if (doc.m_pSamples.size() != std::size_t(std::int64_t(doc.m_nFrameCount) * doc.m_nChannels))
        check.Fail(step, ": ", doc.m_pSamples.size(), " samples held for ", doc.m_nFrameCount, " frames of ",
                   doc.m_nChannels, " channels");
    for (double v : doc.m_pSamples) {
        if (!(v >= -1.0 && v <= 1.0)) {
            check.Fail(step, ": a reader produced the sample value ", v);
            break;
        }
    }
    const bool bRiff = data[0] == 'R' && data[1] == 'I' && data[2] == 'F' && data[3] == 'F';
    if (doc.m_strFileType != (bRiff ? "wav" : "xi"))
        check.Fail(step, ": file type \"", doc.m_strFileType, "\" after reading a ", bRiff ? "RIFF" : "XI", " file");
    if (doc.m_bFromXI != !bRiff)
        check.Fail(step, ": m_bFromXI is ", doc.m_bFromXI);
    if (doc.m_bFromXI) {
        if (doc.m_nChannels != 1 || doc.m_nSampleRate != 44100)
            check.Fail(step, ": XI loaded with ", doc.m_nChannels, " channels at ", doc.m_nSampleRate, " Hz");
        const auto count = std::size_t(std::max(doc.m_nXISampleCount, 0));
        if (doc.m_pXISampleHeaders.size() != count || doc.m_ppXISampleData.size() != count)
            check.Fail(step, ": ", doc.m_pXISampleHeaders.size(), " sample headers and ", doc.m_ppXISampleData.size(),
                       " data buffers for ", doc.m_nXISampleCount, " samples");
        else if (doc.m_nXISampleIndex < 0 || std::size_t(doc.m_nXISampleIndex) >= count)
            check.Fail(step, ": sample index ", doc.m_nXISampleIndex, " of ", count);
        else if (HeaderLength(doc.m_pXISampleHeaders[std::size_t(doc.m_nXISampleIndex)]) <= 0)
            check.Fail(step, ": the chosen sample ", doc.m_nXISampleIndex, " is empty");
    }
}

void CheckFrames(const CQuorvelDoc& doc, std::int32_t frames, std::int32_t channels, CChecker& check,
                 const char* step)
{
    if (doc.m_nFrameCount != frames || doc.m_nChannels != channels ||
        doc.m_pSamples.size() != std::size_t(std::int64_t(frames) * channels))
        check.Fail(step, ": the frames changed shape to ", doc.m_nFrameCount, " x ", doc.m_nChannels);
    for (double v : doc.m_pSamples) {
        if (!std::isfinite(v)) {
            check.Fail(step, ": produced the sample value ", v);
            break;
        }
    }
}

void CheckBanks(const CQuorvelDoc& doc, CChecker& check, const char* step)
{
    const std::int64_t n = doc.m_nBankSize;
    if (n < 1 || (n & (n - 1)) != 0) {
        check.Fail(step, ": bank size ", n, " is not a power of two");
        return;
    }
    if (doc.m_nBankCount != doc.m_nFrameCount / n)
        check.Fail(step, ": ", doc.m_nBankCount, " banks for ", doc.m_nFrameCount, " frames of ", n);
    if (doc.m_pBankSpectra.size() != std::size_t((n * doc.m_nBankCount) / 2 * doc.m_nChannels))
        check.Fail(step, ": ", doc.m_pBankSpectra.size(), " spectral bins");
    if (doc.m_nCurveColumns != 2 || doc.m_pLoopCurves.size() != std::size_t(doc.m_nBankCount) * 2) {
        check.Fail(step, ": curve table of ", doc.m_pLoopCurves.size(), " values in ", doc.m_nCurveColumns, " columns");
        return;
    }
    for (int b = 0; b < doc.m_nBankCount; ++b) {
        for (int c = 0; c < 2; ++c) {
            const double v = doc.GetCurve(b, c);
            if (!(v == -1.0 || (v > 0.0 && v <= 1.0)) || (c == 0 && v == -1.0)) {
                check.Fail(step, ": curve ", c, " of bank ", b, " is ", v);
                return;
            }
        }
    }
}

// The 1-based number among the non-empty samples that a reader offers for
// header index `index`, or 0 when that sample is empty.
int ChoiceFor(const std::vector<XISampleHeader>& headers, int index)
{
    int ordinal = 0;
    for (int i = 0; i < int(headers.size()); ++i) {
        if (HeaderLength(headers[std::size_t(i)]) > 0) {
            ++ordinal;
            if (i == index)
                return ordinal;
        }
    }
    return 0;
}

// Whether a loop read back is the one written, or that loop brought into the
// frames (a reader may normalise what it reads).
bool SameLoop(const CQuorvelDoc& back, bool bLoop, std::int32_t start, std::int32_t end, std::int32_t frames)
{
    if (back.m_bHasLoop == bLoop && (!bLoop || (back.m_nLoopStart == start && back.m_nLoopEnd == end)))
        return true;
    CQuorvelDoc normal;
    normal.m_nFrameCount = frames;
    normal.m_bHasLoop = bLoop;
    normal.m_nLoopStart = start;
    normal.m_nLoopEnd = end;
    normal.NormalizeLoop();
    return back.m_bHasLoop == normal.m_bHasLoop &&
           (!normal.m_bHasLoop || (back.m_nLoopStart == normal.m_nLoopStart && back.m_nLoopEnd == normal.m_nLoopEnd));
}

// The value a writer stores for v (within −1 … +1) in `encoding`, as read
// back: an n-bit code of v × 2^(n−1) truncated toward zero and clipped, or
// the nearest float.
double StoredValue(double v, const CSampleEncoding& encoding)
{
    if (encoding.m_bFloat)
        return encoding.m_nBytes == 8 ? v : double(float(v));
    const double scale = std::ldexp(1.0, encoding.m_nBits - 1);
    return std::clamp(std::trunc(v * scale), -scale, scale - 1.0) / scale;
}

// Saves the document as WAV and as XI into memory and reads both files back.
void CheckSaves(CQuorvelDoc& doc, CFuzzUserInterface& ui, CChecker& check, const char* step)
{
    for (const char* ext : {"wav", "xi"}) {
        const bool bXI = ext[0] == 'x';
        const std::int32_t frames = doc.m_nFrameCount, channels = doc.m_nChannels;
        const bool bLoop = doc.m_bHasLoop;
        const std::int32_t start = doc.m_nLoopStart, end = doc.m_nLoopEnd, note = doc.m_nUnityNote;
        const std::vector<double> samples = doc.m_pSamples;
        const int messagesBefore = ui.m_nMessages;

        CMemFile out(std::string("/fuzz/saved.") + ext);
        CArchive arOut(&out, CArchive::store);
        try {
            doc.WriteSampleFile(arOut);
        } catch (const CException&) {
            continue;  // e.g. a sample too large for the format: reported, not a fault
        } catch (const std::exception& e) {
            check.Fail(step, ": writing ", ext, " threw ", typeid(e).name(), " (", e.what(), ")");
            return;
        }
        if (doc.m_nFrameCount != frames || doc.m_nChannels != channels || doc.m_bHasLoop != bLoop ||
            doc.m_nLoopStart != start || doc.m_nLoopEnd != end || doc.m_nUnityNote != note ||
            doc.m_pSamples != samples) {
            check.Fail(step, ": writing ", ext, " changed the document");
            return;
        }
        const bool bNewInstrument = bXI && !doc.m_bFromXI;
        const bool bWide = doc.m_sourceEncoding.IsWiderThan16Bit();
        const CSampleEncoding written = bXI ? CSampleEncoding{} : WrittenWavEncoding(doc.m_sourceEncoding);
        // XI holds one loop and no release marker: further loops and a marker
        // are dropped with a message each, and a tuning XI cannot hold
        // closely is reported.
        const bool bTuningLost = XITuningFrom(doc.GetTuning()).m_dLostCents > kXITuningLossCents;
        const int messages = (channels > 1 ? 1 : 0) + (bWide ? 1 : 0) + (doc.m_extraLoops.empty() ? 0 : 1) +
                             (doc.m_nRelease >= 0 ? 1 : 0) + (bTuningLost ? 1 : 0);
        if (bNewInstrument && (ui.m_nMessages - messagesBefore) != messages)
            check.Fail(step, ": ", ui.m_nMessages - messagesBefore, " messages saving ", channels, " channels of ",
                       doc.m_sourceEncoding.m_nBits, " bits as a new instrument");
        if (bXI && frames == 0)
            continue;  // the chosen sample is now empty; the file need not load

        CQuorvelDoc back;
        CFuzzUserInterface backUi;
        back.SetUserInterface(&backUi);
        back.OnNewDocument();
        if (bXI && doc.m_bFromXI)
            backUi.m_nChoice = ChoiceFor(doc.m_pXISampleHeaders, doc.m_nXISampleIndex);
        const ReadResult rr = ReadInto(back, out.GetData(), false, check, step);
        if (!rr.bLoaded) {
            check.Fail(step, ": the ", ext, " file just written does not load (archive cause ", int(rr.cause), ": ",
                       rr.strWhy, ")");
            return;
        }
        // Without a format, WAV is written as mono without frames.
        const std::int32_t backChannels = bXI || channels == 0 ? 1 : channels;
        if (back.m_nFrameCount != frames || back.m_nChannels != backChannels)
            check.Fail(step, ": ", ext, " read back as ", back.m_nFrameCount, " x ", back.m_nChannels, " instead of ",
                       frames, " x ", backChannels);
        if (!bXI && back.m_nSampleRate != doc.m_nSampleRate)
            check.Fail(step, ": wav read back at ", back.m_nSampleRate, " Hz instead of ", doc.m_nSampleRate);
        if (!check.Ok())
            return;
        for (std::int32_t f = 0; f < frames; ++f) {
            for (std::int32_t c = 0; c < backChannels; ++c) {
                const double v = doc.GetSample(f, c);
                if (v < -1.0 || v > 1.0)
                    continue;  // clipping or wrapping is the writer's choice
                if (back.GetSample(f, c) != StoredValue(v, written)) {
                    check.Fail(step, ": ", ext, " frame ", f, " channel ", c, " was ", v, ", read back as ",
                               back.GetSample(f, c));
                    return;
                }
            }
        }
        if (!bXI) {
            // A smpl chunk read from the file is written back without a loop
            // too: it keeps the unity note, and its further loop records,
            // the first of which then becomes the loop.
            const CWavChunk* pSmpl = nullptr;
            for (const CWavChunk& k : doc.m_wavChunks)
                if (k.m_kind == CWavChunk::Kind::Smpl && !k.m_body.empty())
                    pSmpl = &k;
            const bool bSmplKept = pSmpl != nullptr;
            const bool bFurtherLoops = bSmplKept && pSmpl->m_body.size() >= 84 &&
                                       std::int32_t(ReadLE32(pSmpl->m_body.data() + 28)) >= 2;
            // The file stores the end less one, so the lowest end cannot come back.
            const std::int32_t endStored = std::max(end, std::numeric_limits<std::int32_t>::min() + 1);
            if (!(bFurtherLoops && !bLoop) && !SameLoop(back, bLoop, start, endStored, frames))
                check.Fail(step, ": wav loop ", bLoop, " ", start, "..", end, " read back as ", back.m_bHasLoop, " ",
                           back.m_nLoopStart, "..", back.m_nLoopEnd);
            // A tuning other than note 60 + 0 is written even without a loop.
            const bool bTuned = bLoop || bSmplKept || note != 60 || doc.m_nPitchFraction != 0;
            if (back.m_nUnityNote != (bTuned ? note : 60))
                check.Fail(step, ": wav unity note ", note, " read back as ", back.m_nUnityNote);
            if (bTuned && back.m_nPitchFraction != doc.m_nPitchFraction)
                check.Fail(step, ": wav pitch fraction ", doc.m_nPitchFraction, " read back as ",
                           back.m_nPitchFraction);
            continue;
        }
        // The XI fields are byte offsets: only loops that fit them survive.
        if (bLoop && start >= 0 && start < end && end <= (1 << 29)) {
            if (!SameLoop(back, bLoop, start, end, frames))
                check.Fail(step, ": xi loop ", start, "..", end, " read back as ", back.m_bHasLoop, " ",
                           back.m_nLoopStart, "..", back.m_nLoopEnd);
        } else if (!bLoop && back.m_bHasLoop) {
            check.Fail(step, ": xi without a loop read back with one");
        }
        if (note - 60 >= -128 && note - 60 <= 127 && back.m_nUnityNote != note)
            check.Fail(step, ": xi unity note ", note, " read back as ", back.m_nUnityNote);
        if (doc.m_bFromXI) {
            if (back.m_xiHeader.bytes != doc.m_xiHeader.bytes || back.m_nXISampleCount != doc.m_nXISampleCount ||
                back.m_nXISampleIndex != doc.m_nXISampleIndex) {
                check.Fail(step, ": the instrument header or the chosen sample changed in the xi round trip");
                return;
            }
            for (std::size_t i = 0; i < doc.m_ppXISampleData.size(); ++i) {
                if (int(i) == doc.m_nXISampleIndex)
                    continue;
                if (back.m_pXISampleHeaders[i].bytes != doc.m_pXISampleHeaders[i].bytes ||
                    back.m_ppXISampleData[i] != doc.m_ppXISampleData[i]) {
                    check.Fail(step, ": sample ", i, " of the instrument changed in the xi round trip");
                    return;
                }
            }
        }
    }
}

// The bank size the loading will choose for a rate (only used to cap work).
std::int64_t ExpectedBankSize(std::int32_t rate)
{
    std::int64_t n = 1;
    if (rate > 43)
        while (rate / n > 43)
            n *= 2;
    return n;
}

}  // namespace

std::string RunLoad(const std::uint8_t* data, std::size_t size)
{
    CChecker check;
    const Bytes bytes(data, data + size);
    CFuzzUserInterface ui;
    CQuorvelDoc doc;
    doc.SetUserInterface(&ui);
    doc.SetTitle("fuzz");
    doc.OnNewDocument();

    const ReadResult first = ReadInto(doc, bytes, false, check, "load");
    if (size < 4 && first.bLoaded)
        check.Fail("load: a file of ", size, " bytes loaded");
    else if (first.bLoaded)
        CheckLoaded(doc, data, check, "load");
    if (!check.Ok())
        return check.m_strFirst;

    // Every other sample an instrument offers, then Cancel, each on a
    // document reset as Open resets it.
    const int offered = ui.m_nAsked ? ui.m_nOffered : 0;
    if (ui.m_nAsked && offered < 2)
        check.Fail("load: asked to choose among ", offered, " samples");
    if (offered >= 2) {
        std::vector<std::optional<int>> choices;
        for (int c = 2; c <= offered; ++c)
            choices.push_back(c);
        choices.push_back(std::nullopt);
        for (const auto& choice : choices) {
            CQuorvelDoc other;
            CFuzzUserInterface otherUi;
            otherUi.m_nChoice = choice;
            other.SetUserInterface(&otherUi);
            other.OnNewDocument();
            const ReadResult r = ReadInto(other, bytes, false, check, "load another sample");
            if (r.bLoaded) {
                CheckLoaded(other, data, check, "load another sample");
                if (!choice)
                    check.Fail("load: a cancelled sample choice still loaded");
            } else if (!choice && otherUi.m_nAsked && r.cause != CArchiveException::generic) {
                check.Fail("load: a cancelled sample choice failed with archive cause ", int(r.cause));
            }
            other.DeleteContents();
        }
    }

    // Reload: the loop and unity note stay, everything else is read again.
    if (first.bLoaded) {
        doc.m_bHasLoop = !doc.m_bHasLoop;
        doc.m_nLoopStart = 7;
        doc.m_nLoopEnd = 11;
        doc.m_nUnityNote = 99;
        const bool bLoop = doc.m_bHasLoop;
        const ReadResult again = ReadInto(doc, bytes, true, check, "reload");
        if (!again.bLoaded)
            check.Fail("reload: the file that loaded does not load again (archive cause ", int(again.cause), ")");
        else
            CheckLoaded(doc, data, check, "reload");
        if (doc.m_bHasLoop != bLoop || doc.m_nLoopStart != 7 || doc.m_nLoopEnd != 11 || doc.m_nUnityNote != 99)
            check.Fail("reload: the loop or unity note changed");
    }
    doc.DeleteContents();
    return check.m_strFirst;
}

std::string RunPipeline(const std::uint8_t* data, std::size_t size)
{
    CChecker check;
    const Bytes bytes(data, data + size);
    CFuzzUserInterface ui;
    CQuorvelDoc doc;
    doc.SetUserInterface(&ui);
    doc.SetTitle("fuzz");
    doc.OnNewDocument();

    if (!ReadInto(doc, bytes, false, check, "load").bLoaded)
        return check.m_strFirst;
    CheckLoaded(doc, data, check, "load");
    if (!check.Ok())
        return check.m_strFirst;

    // Open, then Save As, with the loop exactly as the file gave it.
    CheckSaves(doc, ui, check, "save after load");
    if (!check.Ok())
        return check.m_strFirst;

    const std::int64_t samples = std::int64_t(doc.m_nFrameCount) * doc.m_nChannels;
    if (samples > kMaxPipelineSamples || ExpectedBankSize(doc.m_nSampleRate) > kMaxPipelineBankSize)
        return check.m_strFirst;

    // A cancelled "Computing FFT" fails the load with the generic cause.
    ui.m_bCancelProgress = true;
    ui.m_nProgressRuns = 0;
    try {
        doc.ComputeBanks();
        if (ui.m_nProgressRuns)
            check.Fail("banks: a cancelled computation did not fail the load");
    } catch (const CArchiveException& e) {
        if (ui.m_nProgressRuns && e.m_cause != CArchiveException::generic)
            check.Fail("banks: cancel failed with archive cause ", int(e.m_cause));
    } catch (const CException&) {
    } catch (const std::exception& e) {
        check.Fail("banks: cancel threw ", typeid(e).name(), " (", e.what(), ")");
    }
    ui.m_bCancelProgress = false;
    if (!check.Ok())
        return check.m_strFirst;

    // The failed load resets the document; open the file again.
    doc.DeleteContents();
    doc.OnNewDocument();
    if (!ReadInto(doc, bytes, false, check, "load again").bLoaded) {
        check.Fail("load again: the file that loaded does not load again");
        return check.m_strFirst;
    }
    const std::int32_t frames = doc.m_nFrameCount, channels = doc.m_nChannels;
    try {
        doc.ComputeBanks();
    } catch (const CException&) {
        // A sample the analysis refuses (e.g. a rate too low for a bank):
        // reported as a failed load.
        doc.DeleteContents();
        return check.m_strFirst;
    } catch (const std::exception& e) {
        check.Fail("banks: threw ", typeid(e).name(), " (", e.what(), ")");
        return check.m_strFirst;
    }
    doc.m_bLoaded = true;
    CheckBanks(doc, check, "banks");
    CheckFrames(doc, frames, channels, check, "banks");
    if (!check.Ok())
        return check.m_strFirst;

    // Auto Loop: a loop inside the frames, or none with the loop as it was
    // and the user told; the frames never change. The file's loop is put
    // back for the searches that follow.
    {
        const bool bHad = doc.m_bHasLoop;
        const std::int32_t start = doc.m_nLoopStart, end = doc.m_nLoopEnd;
        const int messages = ui.m_nMessages;
        if (doc.AutoLoop()) {
            if (!doc.m_bHasLoop || doc.m_nLoopStart < 0 || doc.m_nLoopEnd > frames ||
                doc.m_nLoopEnd <= doc.m_nLoopStart)
                check.Fail("auto loop: the loop is ", doc.m_bHasLoop, " ", doc.m_nLoopStart, "..", doc.m_nLoopEnd,
                           " in ", frames, " frames");
        } else if (doc.m_bHasLoop != bHad || doc.m_nLoopStart != start || doc.m_nLoopEnd != end ||
                   ui.m_nMessages != messages + 1) {
            check.Fail("auto loop: found nothing but changed the loop or said nothing");
        }
        CheckFrames(doc, frames, channels, check, "auto loop");
        doc.m_bHasLoop = bHad;
        doc.m_nLoopStart = start;
        doc.m_nLoopEnd = end;
        if (!check.Ok())
            return check.m_strFirst;
    }

    doc.FindLoop();
    CheckFrames(doc, frames, channels, check, "find loop");
    if (frames > 0 && (!doc.m_bHasLoop || doc.m_nLoopStart < 0 || doc.m_nLoopStart >= frames ||
                       doc.m_nLoopEnd <= doc.m_nLoopStart))
        check.Fail("find loop: the loop is ", doc.m_bHasLoop, " ", doc.m_nLoopStart, "..", doc.m_nLoopEnd, " in ",
                   frames, " frames");
    // The view recomputes the end-loop curve when the loop start moves.
    doc.ComputeEndLoopCurve();
    CheckBanks(doc, check, "end-loop curve");
    if (!check.Ok())
        return check.m_strFirst;

    // Without frames the search leaves the loop as the file gave it, and the
    // crossfade does nothing whatever its length.
    if (doc.m_bHasLoop) {
        const int length = doc.CrossfadeLengthForLoop();
        if (frames > 0 && (length < 0 || std::int64_t(length) > std::int64_t(doc.m_nLoopEnd) - doc.m_nLoopStart))
            check.Fail("crossfade: length ", length, " for the loop ", doc.m_nLoopStart, "..", doc.m_nLoopEnd);
        else
            doc.Crossfade(length);
        CheckFrames(doc, frames, channels, check, "crossfade");
    }
    doc.SpectralCombFilter();
    CheckFrames(doc, frames, channels, check, "comb filter");
    if (!check.Ok())
        return check.m_strFirst;

    CheckSaves(doc, ui, check, "save after the loop search");
    doc.DeleteContents();
    return check.m_strFirst;
}

std::string RunLoopTable(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> problems;
    const std::vector<CLoopTableFile> files = ParseLoopTable(text, problems);
    for (const std::string& p : problems)
        if (!p.starts_with("line ") && p != "the table is empty.")
            return "a problem names no line: " + p;
    for (const CLoopTableFile& f : files)
        if (f.m_strPath.empty() || f.m_loops.size() != f.m_loopLines.size())
            return "a file without a name or with loops without lines";
    // CSV reads a row per line, so a name holding a line break cannot
    // come back from it.
    const bool bLineBreak = std::any_of(files.begin(), files.end(), [](const CLoopTableFile& f) {
        return f.m_strPath.find_first_of("\r\n") != std::string::npos;
    });
    if (!problems.empty() || files.empty() || bLineBreak)
        return {};
    // A file without loops or marker has no CSV row (JSON can say "none").
    std::vector<CLoopTableFile> rowed;
    std::copy_if(files.begin(), files.end(), std::back_inserter(rowed),
                 [](const CLoopTableFile& f) { return !f.m_loops.empty() || f.m_nRelease; });
    std::string printed = std::string(kLoopTableHeader) + "\n";
    for (const CLoopTableFile& f : rowed)
        printed += FormatLoopRows(f.m_strPath, f.m_loops, f.m_nRelease.value_or(-1));
    std::vector<std::string> again;
    const std::vector<CLoopTableFile> back = ParseLoopTable(printed, again);
    if (!again.empty())
        return "the table printed back is refused: " + again.front();
    if (back.size() != rowed.size())
        return "the table printed back has another number of files";
    for (std::size_t i = 0; i < rowed.size(); ++i)
        if (back[i].m_strPath != rowed[i].m_strPath || back[i].m_loops != rowed[i].m_loops ||
            back[i].m_nRelease != rowed[i].m_nRelease)
            return "the table printed back differs for " + rowed[i].m_strPath;
    return {};
}

}  // namespace FuzzTargets
