// Files closed on another thread: every one is closed, Wait returns only
// once those handed over are, and the end closes the rest.
#include "base/later_close.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

void Count(void* closed) { static_cast<std::atomic<int>*>(closed)->fetch_add(1); }

TEST(LaterClose, ClosesEverythingHandedOverByWaitAndByTheEnd) {
    std::atomic<int> closed{0};
    {
        LaterClose closer;
        for (int i = 0; i < 3; ++i) closer.Close(&Count, &closed);  // fewer than a batch
        closer.Wait();
        EXPECT_EQ(closed.load(), 3);
        for (int i = 0; i < 21; ++i) closer.Close(&Count, &closed);
        closer.Wait();
        EXPECT_EQ(closed.load(), 24);
        for (int i = 0; i < 5; ++i) closer.Close(&Count, &closed);
    }
    EXPECT_EQ(closed.load(), 29);
}

}  // namespace
