// The bank size the loop search and the crossfade length work with: the
// document's m_nBankSize once its banks were computed, otherwise (frames
// re-read into a document whose load never computed banks, or fields filled
// by hand) the size the bank rule gives for the sample rate. Never below
// kMinBankSize, so the search's weights stay finite.
#pragma once

#include "analysis/BankSize.h"

inline int SearchBankSize(int nBankSize, int nSampleRate)
{
    return nBankSize >= kMinBankSize ? nBankSize : BankSizeForSampleRate(nSampleRate);
}
