// Both loop-suitability curves of a document in one pass over its spectral
// banks: the values ComputeBeginLoopCurve and ComputeEndLoopCurve give, with
// each bank's magnitudes computed once. UI thread, after the banks are done.
#pragma once

class CQuorvelDoc;

void ComputeLoopCurves(CQuorvelDoc& doc);
