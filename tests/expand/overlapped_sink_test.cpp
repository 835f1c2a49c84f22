// A sink that passes blocks on on another thread: every block arrives
// intact and in order, and after a refusal nothing more is passed on.
#include "expand/overlapped_sink.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Keeps what it is given; refuses block |refuse| (counting from 0).
class Recorder : public LzhufSink {
public:
    explicit Recorder(size_t refuse = SIZE_MAX) : m_refuse(refuse) {}
    bool Write(const uint8_t* data, size_t size) override {
        if (std::this_thread::get_id() != owner) ++elsewhere;
        if (blocks++ == m_refuse) return false;
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }

    const std::thread::id owner = std::this_thread::get_id();
    size_t blocks = 0;
    size_t elsewhere = 0;
    std::vector<uint8_t> bytes;

private:
    size_t m_refuse;
};

// Blocks of 0 to 4999 bytes, each filled with its number.
std::vector<uint8_t> Block(size_t i) { return std::vector<uint8_t>((i * 397) % 5000, uint8_t(i)); }

TEST(OverlappedSink, PassesEveryBlockInOrderOnItsThread) {
    Recorder next;
    std::vector<uint8_t> expected;
    {
        OverlappedSink sink(next);
        ASSERT_TRUE(sink.Started());
        for (size_t i = 0; i < 200; ++i) {  // many more than its buffers
            const std::vector<uint8_t> block = Block(i);
            ASSERT_TRUE(sink.Write(block.data(), block.size()));
            expected.insert(expected.end(), block.begin(), block.end());
        }
        EXPECT_TRUE(sink.Finish());
        EXPECT_EQ(next.blocks, 200u);
    }
    EXPECT_EQ(next.bytes, expected);
    EXPECT_EQ(next.elsewhere, 200u);
}

TEST(OverlappedSink, AfterARefusalPassesNothingMore) {
    Recorder next(5);
    OverlappedSink sink(next);
    ASSERT_TRUE(sink.Started());
    bool refused = false;
    for (size_t i = 0; i < 50 && !refused; ++i) {
        const std::vector<uint8_t> block = Block(i);
        refused = !sink.Write(block.data(), block.size());
    }
    EXPECT_TRUE(refused);  // seen a few blocks later at most
    EXPECT_FALSE(sink.Finish());
    EXPECT_EQ(next.blocks, 6u);  // the five taken and the refused one
}

}  // namespace
