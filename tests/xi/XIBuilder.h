// Builds XI instrument files in memory for the tests, field by field and
// independently of the reader, and loads or saves documents through an
// in-memory archive.
#pragma once

#include "document/QuorvelDoc.h"
#include "framework/UserInterface.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct XISampleSpec {
    std::int32_t nLength = 0;  // bytes as written into the length field
    std::uint32_t nLoopStart = 0;
    std::uint32_t nLoopLength = 0;
    std::uint8_t nType = 0;
    std::int8_t nRelativeNote = 0;
    std::uint8_t nVolume = 40;
    std::int8_t nFinetune = -3;
    std::uint8_t nPanning = 99;
    std::uint8_t nReserved = 7;
    std::string strName = "smp";
    // Stored bytes; when empty, `nLength` bytes of a fixed pattern are used.
    std::vector<std::uint8_t> data;
};

// 8-bit and 16-bit stored (delta) values as bytes.
std::vector<std::uint8_t> Bytes8(const std::vector<int>& values);
std::vector<std::uint8_t> Bytes16(const std::vector<int>& values);

// A full XI file. The header carries recognisable non-zero bytes everywhere
// (name, envelopes, vibrato) so that a write-back is checked byte for byte.
// nSampleCount overrides the header's count (default: samples.size()).
// nTruncate removes that many bytes from the end.
std::vector<std::uint8_t> BuildXI(const std::vector<XISampleSpec>& samples,
                                  std::optional<int> nSampleCount = std::nullopt, std::size_t nTruncate = 0);

// Offset of sample i's data in a file built from `samples` (lengths ≤ 0 take no bytes).
std::size_t DataOffset(const std::vector<XISampleSpec>& samples, std::size_t i);

// Reads `bytes` into `doc` through ReadSampleFile.
void LoadBytes(CQuorvelDoc& doc, const std::vector<std::uint8_t>& bytes, bool bKeepLoop = false,
               const std::string& name = "in.xi");
// Writes `doc` through WriteSampleFile into a file called `name`.
std::vector<std::uint8_t> SaveBytes(CQuorvelDoc& doc, const std::string& name = "out.xi");

// A mono document with the given frames (not through a reader).
void MakeDocument(CQuorvelDoc& doc, const std::vector<double>& frames, int nChannels = 1);

// Answers sample questions from a script and records everything asked.
class CScriptedUi : public CHeadlessUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        messages.push_back(text);
        captions.push_back(caption);
        icons.push_back(icon);
    }
    std::optional<int> ChooseSample(int nSampleCount) override
    {
        offered.push_back(nSampleCount);
        return answer;
    }
    std::optional<int> answer;
    std::vector<int> offered;
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<MessageIcon> icons;
};
