#include "ornith/model/VQClassArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornith {
namespace {

// Counts its destructions into a log the test owns, in order.
struct Logged {
    std::vector<int>* log;
    int id;
    Logged(std::vector<int>* l, int i) : log(l), id(i) {}
    ~Logged() { log->push_back(id); }
};

TEST(VQClassArena, TakesNothingBeforeTheFirstRequest) {
    VQClassArena arena(4096);
    EXPECT_EQ(arena.bytesReserved(), 0u);
    EXPECT_EQ(arena.chunkCount(), 0u);
}

TEST(VQClassArena, RequestsAreAlignedAndDisjoint) {
    VQClassArena arena(VQClassArena::kSmallestChunk);
    std::vector<std::pair<uintptr_t, size_t>> taken;
    for (size_t i = 1; i < 200; ++i) {
        const size_t alignment = size_t{1} << (i % 5);  // 1 to 16
        auto* p = static_cast<char*>(arena.allocate(i, alignment));
        ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u);
        std::fill(p, p + i, static_cast<char>(i));  // writable to its last byte (ASan)
        taken.emplace_back(reinterpret_cast<uintptr_t>(p), i);
    }
    std::sort(taken.begin(), taken.end());
    for (size_t i = 1; i < taken.size(); ++i)
        EXPECT_LE(taken[i - 1].first + taken[i - 1].second, taken[i].first);
}

TEST(VQClassArena, GrowsByChunksThatGetLargerUpToACap) {
    VQClassArena arena(VQClassArena::kSmallestChunk);
    for (int i = 0; i < 20000; ++i) arena.allocate(64, 8);
    // 1.28 MB in chunks growing from 256 bytes by half again: a few dozen, not thousands.
    EXPECT_GT(arena.chunkCount(), 5u);
    EXPECT_LT(arena.chunkCount(), 40u);
    EXPECT_GE(arena.bytesUsed(), size_t{20000} * 64);
    EXPECT_LE(arena.bytesReserved(), arena.bytesUsed() * 2);
    // A request beyond the largest grown chunk gets one of its own.
    const size_t before = arena.chunkCount();
    auto* big = static_cast<char*>(arena.allocate(VQClassArena::kLargestGrownChunk * 2, 16));
    big[VQClassArena::kLargestGrownChunk * 2 - 1] = 1;
    EXPECT_EQ(arena.chunkCount(), before + 1);
}

TEST(VQClassArena, ReserveKeepsTheFollowingRequestsInOneChunk) {
    VQClassArena arena(VQClassArena::kSmallestChunk);
    arena.reserve(10000);
    EXPECT_EQ(arena.chunkCount(), 1u);
    for (int i = 0; i < 100; ++i) arena.allocate(100, 1);
    EXPECT_EQ(arena.chunkCount(), 1u);
    // Room already there needs no new chunk.
    arena.reserve(0);
    EXPECT_EQ(arena.chunkCount(), 1u);
    // Past the reservation the arena grows on its own.
    arena.allocate(100, 1);
    EXPECT_EQ(arena.chunkCount(), 2u);
}

TEST(VQClassArena, DestroysWhatItMadeInReverseOrder) {
    std::vector<int> log;
    {
        VQClassArena arena;
        arena.make<Logged>(&log, 1);
        auto* row = static_cast<Logged*>(arena.allocate(2 * sizeof(Logged), alignof(Logged)));
        new (row) Logged(&log, 2);
        new (row + 1) Logged(&log, 3);
        arena.adopt(row, 2);
        arena.make<std::string>(size_t{300},
                                'x');  // its own heap text is freed too (LeakSanitizer)
        arena.make<Logged>(&log, 4);
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(log, (std::vector<int>{4, 3, 2, 1}));
}

TEST(VQClassArena, CopiedTextOutlivesItsSource) {
    VQClassArena arena;
    std::string_view kept;
    {
        std::string source(1000, 'q');
        kept = arena.copyText(source);
    }
    EXPECT_EQ(kept, std::string(1000, 'q'));
    EXPECT_TRUE(arena.copyText("").empty());
}

}  // namespace
}  // namespace ornith
