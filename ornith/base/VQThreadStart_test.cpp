#include "ornith/base/VQThreadStart.h"

#include <gtest/gtest.h>
#include <sched.h>

namespace ornith {
namespace {

// The thread runs its work once, and may then run on every processor its starter may:
// the move to another processor must not outlast the start.
TEST(VQThreadStart, RunsTheWorkAndLeavesTheThreadFreeToMove) {
    cpu_set_t starter;
    CPU_ZERO(&starter);
    ASSERT_EQ(sched_getaffinity(0, sizeof starter, &starter), 0);
    for (int round = 0; round < 20; ++round) {
        int runs = 0;
        cpu_set_t seen;
        CPU_ZERO(&seen);
        std::thread thread = VQStartThread([&] {
            ++runs;
            sched_getaffinity(0, sizeof seen, &seen);
        });
        thread.join();
        EXPECT_EQ(runs, 1);
        EXPECT_TRUE(CPU_EQUAL(&seen, &starter)) << "round " << round;
    }
}

}  // namespace
}  // namespace ornith
