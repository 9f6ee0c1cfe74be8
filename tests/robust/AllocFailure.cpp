// Replaces the global allocation functions of the test executable (every
// form, so that none falls back to the library's) with malloc-based ones that
// can be told to fail.
#include "AllocFailure.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

thread_local long t_nCountdown = -1;
thread_local bool t_bFired = false;

bool ShouldFail()
{
    if (t_nCountdown < 0)
        return false;
    if (t_nCountdown-- == 0) {
        t_bFired = true;
        return true;
    }
    return false;
}

void* Allocate(std::size_t size, std::size_t alignment)
{
    if (size == 0)
        size = 1;
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment)
{
    if (ShouldFail())
        throw std::bad_alloc();
    if (void* p = Allocate(size, alignment))
        return p;
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size, std::size_t alignment) noexcept
{
    if (ShouldFail())
        return nullptr;
    return Allocate(size, alignment);
}

}  // namespace

namespace AllocFailure {

void Arm(long nAllocationsBeforeFailure)
{
    t_bFired = false;
    t_nCountdown = nAllocationsBeforeFailure;
}

bool Disarm()
{
    t_nCountdown = -1;
    return t_bFired;
}

}  // namespace AllocFailure

void* operator new(std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, std::size_t(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size, std::size_t(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size, std::size_t(a));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
