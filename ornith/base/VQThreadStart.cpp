#include "ornith/base/VQThreadStart.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <memory>
#include <utility>

namespace ornith {

namespace {

struct Placement {
    cpu_set_t allowed;
    bool moved = false;
    // Set once the starting thread is done with the new one's processors: until then the
    // new thread must not widen them, or the narrowing that follows would stand.
    std::atomic<bool> placed{false};
};

}  // namespace

std::thread VQStartThread(std::function<void()> work) {
    auto placement = std::make_shared<Placement>();
    CPU_ZERO(&placement->allowed);
    const int here = sched_getcpu();
    const bool canMove =
        here >= 0 && here < CPU_SETSIZE &&
        sched_getaffinity(0, sizeof placement->allowed, &placement->allowed) == 0 &&
        CPU_COUNT(&placement->allowed) > 1 &&
        CPU_ISSET(static_cast<size_t>(here), &placement->allowed);
    std::thread thread([placement, work = std::move(work)] {
        while (!placement->placed.load(std::memory_order_acquire)) std::this_thread::yield();
        if (placement->moved) sched_setaffinity(0, sizeof placement->allowed, &placement->allowed);
        work();
    });
    if (canMove) {
        cpu_set_t elsewhere = placement->allowed;
        CPU_CLR(static_cast<size_t>(here), &elsewhere);
        // Only a hint: a thread that could not be moved starts where it was queued.
        placement->moved =
            pthread_setaffinity_np(thread.native_handle(), sizeof elsewhere, &elsewhere) == 0;
    }
    placement->placed.store(true, std::memory_order_release);
    return thread;
}

}  // namespace ornith
