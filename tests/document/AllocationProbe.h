// Records the largest single allocation made through operator new since the
// last Reset, so a test can show that a reader did not allocate for a size
// it took from a damaged file.
#pragma once

#include <cstddef>

namespace AllocationProbe {
void Reset();
std::size_t Largest();
}  // namespace AllocationProbe
