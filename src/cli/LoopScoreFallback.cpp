#include "document/QuorvelDoc.h"

#include <limits>

// Stand-in until the loop search lands: the real definition replaces this
// weak one at link time. NaN reads as "no score" in every output.
__attribute__((weak)) double CQuorvelDoc::LoopScore(int, int, double) const
{
    return std::numeric_limits<double>::quiet_NaN();
}
