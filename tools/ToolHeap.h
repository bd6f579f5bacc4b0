#pragma once
// How the tool's heap grows. A run of the tool is short and allocates in bursts, and on a
// virtual machine first touching each small page costs about ten microseconds, more than
// the work that fills it; so the heap grows in large steps, keeps what it took, and asks
// for huge pages over it. Where the system grants none, this is only a heap that grows
// less often.

namespace ornith::tool {

// For the main thread's heap, once, before anything else is allocated.
void growHeapInHugePages();

// For the heap of the calling worker thread (glibc gives each thread that allocates
// beside others a heap of its own); a no-op after its first call on a thread and on the
// main thread's heap.
void growThreadHeapInHugePages();

}  // namespace ornith::tool
