// Payloads decoded ahead on threads of their own: given in the order asked
// for, each with the outcome the expansion in place would have, within a
// memory budget, from a folder or from the stretches of one file.
#include "expand/payload_prefetch.h"

#include "tests/expand/lzhuf_test_util.h"
#include "tests/medium_bytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

std::string Content(int i) {
    std::string text;
    for (int line = 0; line < 50 + 40 * (i % 7); ++line) text += "payload " + std::to_string(i) + " line " + std::to_string(line) + "\r\n";
    return text;
}

std::string Name(int i) { return "p" + std::to_string(i) + ".cmp"; }

SumEntry EntryOf(const std::string& name, const std::string& content) {
    SumEntry entry{name, content.size(), {}};
    HashBytes(content.data(), content.size(), entry.sha256);
    return entry;
}

// A medium of kCount payloads, listed in setup.sum: payload 5's bytes are
// damaged, payload 8 is listed but missing from the medium, payload 11
// states a size above the largest held in memory.
class PayloadPrefetchTest : public ::testing::TestWithParam<bool> {
protected:
    static constexpr int kCount = 14;
    static constexpr size_t kLargest = 40000;

    void SetUp() override {
        DistributionSum sum;
        sum.present = true;
        std::string whole = "MZ program bytes before the stored files";
        std::vector<StoredFile> stored;
        for (int i = 0; i < kCount; ++i) {
            std::string content = i == 11 ? std::string(kLargest + 1, 'x') : Content(i);
            std::string packed = PackedPayload(content);
            if (i == 5) packed[packed.size() / 2] ^= 0x21;
            ASSERT_TRUE(sum.sum.Add(EntryOf(Name(i), content)));
            m_contents.push_back(content);
            if (i == 8) continue;
            stored.push_back(StoredFile{Name(i), whole.size(), packed.size()});
            whole += packed;
            m_dir.Write(Name(i), packed);
        }
        m_dir.Write("setup.exe", whole + "bytes after them");
        if (GetParam())
            m_medium.UseStored(FilePtr(std::fopen(m_dir.Path("setup.exe").c_str(), "rb")), stored, "Setup2.txt");
        else
            m_medium.UseFolder("Setup2.txt");
        m_medium.SetSum(sum);
        m_here.reset(new ScopedWorkingDirectory(m_dir.Path()));
    }

    std::vector<std::string> Sources(int count) const {
        std::vector<std::string> sources;
        for (int i = 0; i < count; ++i) sources.push_back(Name(i));
        return sources;
    }

    TempDir m_dir;
    Medium m_medium;
    std::vector<std::string> m_contents;
    std::unique_ptr<ScopedWorkingDirectory> m_here;
};

TEST_P(PayloadPrefetchTest, GivesEachPayloadInOrderWithItsOutcome) {
    // A budget of about two payloads: the threads wait for room again and again.
    PayloadPrefetch ahead(m_medium, Sources(kCount), 3, nullptr, 9000, kLargest);
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(i);
        DecodedPayload payload;
        if (i == 11) {
            EXPECT_FALSE(ahead.Take(Name(i), payload));  // left to the caller
            continue;
        }
        ASSERT_TRUE(ahead.Take(Name(i), payload));
        if (i == 8) {
            EXPECT_FALSE(payload.sourceRead);
            EXPECT_EQ(payload.status, ExpandStatus::kSourceOpenFailed);
        } else if (i == 5) {
            EXPECT_TRUE(payload.sourceRead);
            EXPECT_EQ(payload.status, ExpandStatus::kDamaged);
        } else {
            EXPECT_EQ(payload.status, ExpandStatus::kOk);
            EXPECT_EQ(std::string(payload.bytes.begin(), payload.bytes.end()), m_contents[i]);
        }
    }
    DecodedPayload more;
    EXPECT_FALSE(ahead.Take(Name(0), more));  // past the end
}

TEST_P(PayloadPrefetchTest, AskedOutOfOrderGivesNothingMore) {
    PayloadPrefetch ahead(m_medium, Sources(kCount), 2, nullptr, 9000, kLargest);
    DecodedPayload payload;
    ASSERT_TRUE(ahead.Take(Name(0), payload));
    EXPECT_FALSE(ahead.Take(Name(2), payload));
    EXPECT_FALSE(ahead.Take(Name(1), payload));
}

TEST_P(PayloadPrefetchTest, StopsWithPayloadsNotTakenAndStartsEachThreadAsAsked) {
    std::atomic<int> started{0};
    {
        PayloadPrefetch ahead(m_medium, Sources(kCount), 2, [&started] { ++started; }, 9000, kLargest);
        DecodedPayload payload;
        ASSERT_TRUE(ahead.Take(Name(0), payload));
    }  // the threads wait for room when it goes: they must end all the same
    EXPECT_EQ(started.load(), 2);
    // Without threads nothing is decoded ahead.
    PayloadPrefetch none(m_medium, Sources(kCount), 0);
    DecodedPayload payload;
    EXPECT_FALSE(none.Take(Name(0), payload));
}

INSTANTIATE_TEST_SUITE_P(FolderAndSingleFile, PayloadPrefetchTest, ::testing::Bool());

}  // namespace
