#include "ToolHeap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace ornith::tool {

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// The size and alignment of the heap that glibc maps for a thread's arena (twice the
// largest mmap threshold on a 64-bit system).
constexpr uintptr_t kThreadHeap = uintptr_t{64} << 20;
// Below the mmap threshold that growHeapInHugePages sets, so that it comes from the heap.
constexpr size_t kWritableThreadHeap = size_t{12} << 20;

// Where the main heap starts, once growHeapInHugePages has run.
uintptr_t mainHeapStart = 0;

}  // namespace

void growHeapInHugePages() {
    constexpr int kStep = 32 << 20;
    mallopt(M_TOP_PAD, kStep);
    mallopt(M_TRIM_THRESHOLD, 8 * kStep);
    mallopt(M_MMAP_THRESHOLD, kStep / 2);
    const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
    mainHeapStart = before;
    // Held through a volatile pointer, so that the pair is not optimised away.
    void* volatile first = std::malloc(size_t{1} << 20);
    const auto after = reinterpret_cast<uintptr_t>(sbrk(0));
    const uintptr_t start = (before + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = after & ~(kHugePage - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    std::free(first);
}

void growThreadHeapInHugePages() {
    // Two threads describing a jar touched a third more fresh pages than one, nearly all
    // in the second thread's heap, which the main heap's advice does not cover.
    thread_local bool done = false;
    if (done) return;
    done = true;
    void* volatile probe = std::malloc(64);
    const auto at = reinterpret_cast<uintptr_t>(probe);
    const auto brk = reinterpret_cast<uintptr_t>(sbrk(0));
    const bool inMainHeap = mainHeapStart != 0 && at >= mainHeapStart && at < brk;
    // A thread's heap is mapped whole at its alignment, so the advice covers it and no more.
    // (glibc puts the main arena outside the break only when the break cannot grow; the
    // advice would then fall on whatever lies around the probe, which it cannot harm: it
    // asks for larger pages and never changes what memory holds.)
    if (inMainHeap || at == 0) {
        std::free(probe);
        return;
    }
    const uintptr_t heap = at & ~(kThreadHeap - 1);
    ::madvise(reinterpret_cast<void*>(heap), kThreadHeap, MADV_HUGEPAGE);
    // The advice alone is not enough. glibc makes a thread's heap writable a few pages at
    // a time as it grows, and a huge page is granted only where the whole of its range is
    // writable; and the first range already holds small pages (the heap's header), so it
    // would never get one. What is left of the first range goes to a block that is never
    // touched, and a large block taken and given back makes the rest writable at once (a
    // thread's heap is trimmed only past the threshold growHeapInHugePages sets high).
    struct Reserved {
        void* block = nullptr;
        ~Reserved() { std::free(block); }
    };
    thread_local Reserved firstRange;
    constexpr uintptr_t kChunkOverhead = 64;
    const uintptr_t firstEnd = heap + kHugePage;
    if (at + kChunkOverhead < firstEnd)
        firstRange.block = std::malloc(firstEnd - at - kChunkOverhead);
    void* volatile writable = std::malloc(kWritableThreadHeap);
    std::free(writable);
    std::free(probe);
}

}  // namespace ornith::tool
