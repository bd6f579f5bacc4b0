#include "ornith/classfile/VQSharedWithTail.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

namespace ornith {
namespace {

// Writes its text into the block it is given and keeps a view of it.
struct Texted {
    Texted(const VQTailRequest& block, std::string_view text, int* counter) : alive(counter) {
        std::memcpy(block.tail, text.data(), text.size());
        view = std::string_view(reinterpret_cast<const char*>(block.tail), text.size());
        ++*alive;
    }
    ~Texted() { --*alive; }
    std::string_view view;
    int* alive;
};

// The block is the object's own: it stays while any owner does and goes with the last
// (the sanitizer build checks both halves), and every object gets a block of its own.
TEST(VQMakeSharedWithTail, TheBlockLivesAndDiesWithItsObject) {
    int alive = 0;
    std::shared_ptr<const Texted> first = VQMakeSharedWithTail<const Texted>(5, "hello", &alive);
    std::shared_ptr<const Texted> second = VQMakeSharedWithTail<const Texted>(5, "world", &alive);
    EXPECT_EQ(alive, 2);
    std::shared_ptr<const Texted> kept = first;
    first.reset();
    EXPECT_EQ(kept->view, "hello");
    EXPECT_EQ(second->view, "world");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(kept->view.data()) % alignof(std::max_align_t), 0u);
    second.reset();
    EXPECT_EQ(alive, 1);
    const std::weak_ptr<const Texted> watch = kept;
    EXPECT_FALSE(watch.expired());
    kept.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(alive, 0);
    // An empty block is still a block.
    EXPECT_EQ(VQMakeSharedWithTail<const Texted>(0, "", &alive)->view, "");
}

}  // namespace
}  // namespace ornith
