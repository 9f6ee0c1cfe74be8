// The frames of a "data" chunk: decoding every encoding the reader takes into
// the document's doubles, and encoding them for the writer.
#pragma once

#include "document/SampleSource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Replaces `out` by nFrames × nChannels values decoded from `pBody`, frame i
// starting at i × nBlockAlign, channel j at j × encoding.m_nBytes within it.
// One allocation and one pass; the old contents are freed first.
// nBlockAlign ≥ nChannels × encoding.m_nBytes, and the body holds every frame.
void DecodeWavData(std::vector<double>& out, const std::uint8_t* pBody, std::size_t nFrames, int nChannels,
                   std::size_t nBlockAlign, const CSampleEncoding& encoding);

// Writes nCount values (frames × channels, in order) to pOut in `encoding`
// (16-bit or wider integer PCM, or floating point), packed: nCount ×
// encoding.m_nBytes bytes.
void EncodeWavData(std::uint8_t* pOut, const double* pValues, std::size_t nCount, const CSampleEncoding& encoding);
