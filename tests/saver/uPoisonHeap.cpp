// Replaces the global operator new and delete of the test program that links
// it: freed blocks are filled with a pattern and held back for a while
// before they really go, so code that reads an object after its deletion
// reads the pattern (every flag set, every pointer bogus) instead of the old
// values that a plain heap usually leaves there.
#include <windows.h>
#include <malloc.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr unsigned char Poison = 0xA5;
// Blocks held back before they are freed for real.
constexpr std::size_t QuarantineSize = 4096;

// The block size sits in front of the caller's bytes; blocks and header are
// aligned to 16, at least what operator new promises on either pointer size.
constexpr std::size_t BlockAlignment = 16;
struct alignas(BlockAlignment) Header {
    std::size_t size;
};

SRWLOCK gLock = SRWLOCK_INIT;
void* gQuarantine[QuarantineSize] = {};
std::size_t gNext = 0;

void* Allocate(std::size_t size) noexcept {
    if (size > static_cast<std::size_t>(-1) - sizeof(Header))
        return nullptr;
    auto* h = static_cast<Header*>(_aligned_malloc(sizeof(Header) + size, BlockAlignment));
    if (!h)
        return nullptr;
    h->size = size;
    return h + 1;
}

void Release(void* p) noexcept {
    if (!p)
        return;
    Header* h = static_cast<Header*>(p) - 1;
    std::memset(p, Poison, h->size);
    AcquireSRWLockExclusive(&gLock);
    void* evicted = gQuarantine[gNext];
    gQuarantine[gNext] = h;
    gNext = (gNext + 1) % QuarantineSize;
    ReleaseSRWLockExclusive(&gLock);
    _aligned_free(evicted);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
