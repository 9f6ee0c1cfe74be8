#include "document/QuorvelDoc.h"

// Placeholder until the loop search engine lands: no banks, no curves.
void CQuorvelDoc::ComputeBanks() {}
void CQuorvelDoc::ComputeBeginLoopCurve() {}
void CQuorvelDoc::ComputeEndLoopCurve() {}
void CQuorvelDoc::FindLoop() {}
void CQuorvelDoc::Crossfade(int) {}
int CQuorvelDoc::CrossfadeLengthForLoop() const { return 0; }
void CQuorvelDoc::FindLoopCrossfade() {}
void CQuorvelDoc::SpectralCombFilter() {}
