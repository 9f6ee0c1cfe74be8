// Allocation-failure injection for tests: the test executable replaces the
// global operator new; after Arm(n) the allocation number n (from 0) made on
// the arming thread throws std::bad_alloc (nothrow forms return null), once.
// Allocations of other threads are never failed, so a worker thread is only
// affected through what the arming thread does.
#pragma once

namespace AllocFailure {

void Arm(long nAllocationsBeforeFailure);
// Stops counting; returns whether the failure was injected since Arm.
bool Disarm();

// Runs `operation` with the first, second, third … allocation failing, until
// a run completes without reaching the armed allocation (at most nMaxRuns
// runs). `check(bFailed)` is called after every run. Returns the number of
// runs in which an allocation failed.
template <typename Operation, typename Check>
long ForEachAllocation(Operation operation, Check check, long nMaxRuns = 20000)
{
    long failures = 0;
    for (long n = 0; n < nMaxRuns; ++n) {
        Arm(n);
        operation();
        const bool failed = Disarm();
        check(failed);
        if (!failed)
            break;
        ++failures;
    }
    return failures;
}

}  // namespace AllocFailure
