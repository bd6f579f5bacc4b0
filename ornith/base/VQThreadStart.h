#pragma once
// Starting a worker thread where it can run at once.
//
// On a machine whose processors are otherwise idle, Linux may queue a new thread on the
// processor of the thread that made it and move it only at the next load balance: on the
// virtual machines the benchmarks ran on, 2 to 3 ms later, while the other processor
// idled, which is much of a short run of the tool. VQStartThread asks the system to
// begin the thread on another processor that the process may use, then lets it move
// anywhere it may, so what the scheduler decides from then on is its own.

#include <functional>
#include <thread>

namespace ornith {

// A thread running `work`, begun on another processor than the caller's when the
// process may use one (otherwise as std::thread would begin it). Throws what
// std::thread's constructor throws.
std::thread VQStartThread(std::function<void()> work);

}  // namespace ornith
