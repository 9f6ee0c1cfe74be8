// libFuzzer entry point: arbitrary bytes as a loop table through
// FuzzTargets::RunLoopTable. A violated invariant aborts, so libFuzzer
// records the input as a crash.
#include "FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = FuzzTargets::RunLoopTable(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "invariant violated: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
