// Payloads decoded ahead on threads of their own: given in the order asked
// for, each with the outcome the expansion in place would have, within a
// memory budget, from a folder or from the stretches of one file; and under
// the tightest limits, beside the run's own decoding from the same medium.
#include "engine/payload_prefetch.h"

#include "base/later_close.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

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

// A budget of |budget| decoded bytes, payloads larger than |largest| left
// to the caller.
PrefetchLimits Limits(size_t budget, size_t largest) {
    PrefetchLimits limits;
    limits.budget = budget;
    limits.largest = largest;
    return limits;
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
        const std::string sumText = sum.sum.Format();
        m_dir.Write("setup.sum", sumText);
        m_sumFile = StoredFile{"setup.sum", whole.size(), sumText.size()};
        m_stored = stored;
        m_dir.Write("setup.exe", whole + sumText + "bytes after them");
        m_here.reset(new ScopedWorkingDirectory(m_dir.Path()));
        LoadMedium(true);
    }

    // Reads m_medium as at start-up: the files stored in setup.exe, or those
    // of the folder; with or without its setup.sum.
    void LoadMedium(bool withSum) {
        std::vector<StoredFile> stored = m_stored;
        if (withSum) stored.push_back(m_sumFile);
        if (GetParam()) {
            m_medium.UseStored(FilePtr(std::fopen(m_dir.Path("setup.exe").c_str(), "rb")), stored, "Setup2.txt");
        } else {
            if (!withSum) std::filesystem::remove(m_dir.Path("setup.sum"));
            m_medium.UseFolder("Setup2.txt");
        }
        std::string damaged;
        ASSERT_TRUE(m_medium.Load(damaged)) << damaged;
    }

    // Each payload to out/<name>, its directory named "out".
    std::vector<PayloadJob> Jobs(int count) const {
        std::vector<PayloadJob> jobs;
        for (int i = 0; i < count; ++i) jobs.push_back(PayloadJob{Name(i), m_dir.Path("out/" + Name(i)), "out"});
        return jobs;
    }

    // Waits until "out" holds |count| files (the staging thread's temporary
    // files appear), for ten seconds at most.
    void WaitForFiles(size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_dir.Count("out") < count && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }

    TempDir m_dir;
    std::vector<StoredFile> m_stored;  // the payloads stored in setup.exe
    StoredFile m_sumFile;              // setup.sum stored there
    Medium m_medium;
    std::vector<std::string> m_contents;
    std::unique_ptr<ScopedWorkingDirectory> m_here;
};

TEST_P(PayloadPrefetchTest, GivesEachPayloadInOrderWithItsOutcome) {
    // A budget of about two payloads: the threads wait for room again and again.
    PayloadPrefetch ahead(m_medium, Jobs(kCount), 3, nullptr, Limits(9000, kLargest));
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

// A payload the caller asks for out of order (one it decodes itself, a DLL
// say) is not given, and the order goes on.
TEST_P(PayloadPrefetchTest, AskedOutOfOrderGivesThatOneNotAndTheNextAll) {
    PayloadPrefetch ahead(m_medium, Jobs(kCount), 2, nullptr, Limits(9000, kLargest));
    DecodedPayload payload;
    ASSERT_TRUE(ahead.Take(Name(0), payload));
    EXPECT_FALSE(ahead.Take("a-dll.cmp", payload));
    EXPECT_FALSE(ahead.Take(Name(2), payload));
    ASSERT_TRUE(ahead.Take(Name(1), payload));
    EXPECT_EQ(std::string(payload.bytes.begin(), payload.bytes.end()), m_contents[1]);
}

TEST_P(PayloadPrefetchTest, StopsWithPayloadsNotTakenAndStartsEachThreadAsAsked) {
    std::atomic<int> started{0};
    {
        PayloadPrefetch ahead(m_medium, Jobs(kCount), 2, [&started] { ++started; }, Limits(9000, kLargest));
        DecodedPayload payload;
        ASSERT_TRUE(ahead.Take(Name(0), payload));
    }  // the threads wait for room when it goes: they must end all the same
    EXPECT_EQ(started.load(), 2);
    // Without threads nothing is decoded ahead.
    PayloadPrefetch none(m_medium, Jobs(kCount), 0);
    DecodedPayload payload;
    EXPECT_FALSE(none.Take(Name(0), payload));
}

// The last payload is decoded also when every decoding thread looked for
// work while it was being read (a list of one, over and over).
TEST_P(PayloadPrefetchTest, DecodesTheLastPayloadWhateverTheThreadsFoundBefore) {
    for (int i = 0; i < 200; ++i) {
        PayloadPrefetch ahead(m_medium, Jobs(1), 3, nullptr, Limits(9000, kLargest));
        DecodedPayload payload;
        ASSERT_TRUE(ahead.Take(Name(0), payload));
        ASSERT_EQ(payload.status, ExpandStatus::kOk);
    }
}

// Without setup.sum nothing is checked, and the header's size decides what is
// held in memory.
TEST_P(PayloadPrefetchTest, WithoutASumTheHeaderSaysWhatIsLeftToTheCaller) {
    LoadMedium(false);
    PayloadPrefetch ahead(m_medium, Jobs(kCount), 2, nullptr, Limits(9000, kLargest));
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(i);
        DecodedPayload payload;
        const bool given = ahead.Take(Name(i), payload);
        EXPECT_EQ(given, i != 11);
        if (given && i != 8) {
            EXPECT_EQ(payload.status, ExpandStatus::kOk);  // payload 5's damage goes unseen
        }
    }
}

// Once its directory is there, a decoded payload is written into its
// temporary file ahead; putting it in place then only renames it.
TEST_P(PayloadPrefetchTest, WritesPayloadsAheadOnceTheirDirectoryIsThere) {
    m_dir.Write("out/placed-before", "");
    PayloadPrefetch ahead(m_medium, Jobs(5), 2, nullptr, Limits(size_t(1) << 20, kLargest));
    ahead.DirectoryReady("out");
    WaitForFiles(6);
    int staged = 0;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        DecodedPayload payload;
        ASSERT_TRUE(ahead.Take(Name(i), payload));
        staged += payload.staged != nullptr;
        const std::string dest = m_dir.Path("out/" + Name(i));
        const ExpandResult r = PlaceDecodedPayload(payload, Name(i).c_str(), dest.c_str());
        EXPECT_EQ(r.status, ExpandStatus::kOk);
        EXPECT_EQ(m_dir.Read("out/" + Name(i)), m_contents[i]);
    }
    EXPECT_GT(staged, 0);
    EXPECT_EQ(m_dir.Count("out"), 6u);  // no temporary file left
}

// The payloads written ahead and not taken leave no temporary file behind.
TEST_P(PayloadPrefetchTest, TemporaryFilesNotTakenAreRemoved) {
    m_dir.Write("out/placed-before", "");
    {
        PayloadPrefetch ahead(m_medium, Jobs(5), 2, nullptr, Limits(size_t(1) << 20, kLargest));
        ahead.DirectoryReady("out");
        WaitForFiles(6);
    }
    EXPECT_EQ(m_dir.Count("out"), 1u);
}

INSTANTIATE_TEST_SUITE_P(FolderAndSingleFile, PayloadPrefetchTest, ::testing::Bool());

// Many more payloads than are read or written ahead, in folders the run makes
// one after another as it goes: every one is given in order and placed whole,
// and those written ahead went only into folders already made.
TEST(PayloadPrefetch, KeepsUpWithARunThroughManyFolders) {
    constexpr int kFolders = 6;
    constexpr int kPerFolder = 50;
    TempDir dir;
    DistributionSum sum;
    sum.present = true;
    std::vector<PayloadJob> jobs;
    for (int i = 0; i < kFolders * kPerFolder; ++i) {
        const std::string content = Content(i);
        dir.Write(Name(i), PackedPayload(content));
        ASSERT_TRUE(sum.sum.Add(EntryOf(Name(i), content)));
        const std::string folder = "out" + std::to_string(i / kPerFolder);
        jobs.push_back(PayloadJob{Name(i), dir.Path(folder + "/" + Name(i)), folder});
    }
    Medium medium;
    ASSERT_TRUE(UseSum(medium, dir.Path(), sum.sum));
    ScopedWorkingDirectory here(dir.Path());

    PayloadPrefetch ahead(medium, jobs, 2);
    int staged = 0;
    for (int i = 0; i < kFolders * kPerFolder; ++i) {
        SCOPED_TRACE(i);
        const std::string folder = "out" + std::to_string(i / kPerFolder);
        if (i % kPerFolder == 0) {
            // Nothing can have been written into a folder not made yet.
            ASSERT_FALSE(std::filesystem::exists(dir.Path(folder)));
            dir.Write(folder + "/placed-before", "");
            ahead.DirectoryReady(folder);
        }
        DecodedPayload payload;
        ASSERT_TRUE(ahead.Take(Name(i), payload));
        staged += payload.staged != nullptr;
        const ExpandResult r = PlaceDecodedPayload(payload, Name(i).c_str(), jobs[size_t(i)].dest.c_str());
        ASSERT_EQ(r.status, ExpandStatus::kOk);
        EXPECT_EQ(dir.Read(folder + "/" + Name(i)), Content(i));
    }
    EXPECT_GT(staged, 0);
    for (int f = 0; f < kFolders; ++f)
        EXPECT_EQ(dir.Count("out" + std::to_string(f)), size_t(kPerFolder) + 1);  // no temporary file left
}

// Many small payloads of one single-file medium under the tightest limits
// (one payload read ahead, none decoded beyond the one waited for, two
// written ahead) while the run decodes those left to it from the same file,
// on threads of their own too, as the run does: each one is placed whole and
// in order. Under ThreadSanitizer (the native-tsan preset) this is the race
// hunt of the unattended run.
TEST(PayloadPrefetch, ManySmallPayloadsUnderTheTightestLimits) {
    constexpr int kPayloads = 240;
    constexpr size_t kLargest = 4500;  // two payloads in seven are left to the run
    TempDir dir;
    DistributionSum sum;
    std::string whole = "MZ";
    std::vector<StoredFile> stored;
    std::vector<PayloadJob> jobs;
    for (int i = 0; i < kPayloads; ++i) {
        const std::string content = Content(i);
        const std::string packed = PackedPayload(content);
        ASSERT_TRUE(sum.sum.Add(EntryOf(Name(i), content)));
        stored.push_back(StoredFile{Name(i), whole.size(), packed.size()});
        whole += packed;
        const std::string folder = "out" + std::to_string(i / 30);
        jobs.push_back(PayloadJob{Name(i), dir.Path(folder + "/" + Name(i)), folder});
    }
    const std::string sumText = sum.sum.Format();
    stored.push_back(StoredFile{"setup.sum", whole.size(), sumText.size()});
    dir.Write("setup.exe", whole + sumText);
    Medium medium;
    medium.UseStored(FilePtr(std::fopen(dir.Path("setup.exe").c_str(), "rb")), stored, "Setup2.txt");
    std::string damaged;
    ASSERT_TRUE(medium.Load(damaged)) << damaged;
    ScopedWorkingDirectory here(dir.Path());

    PrefetchLimits limits;
    limits.budget = 1;
    limits.largest = kLargest;
    limits.readAhead = 1;
    limits.readBytes = 1;
    limits.stagedAhead = 2;
    LaterClose closer;
    Placement placement;
    placement.closer = &closer;
    placement.overlapFrom = 1;  // the run's own decoding writes on another thread
    PayloadPrefetch ahead(medium, jobs, 3, nullptr, limits);
    int left = 0;
    for (int i = 0; i < kPayloads; ++i) {
        SCOPED_TRACE(i);
        const PayloadJob& job = jobs[size_t(i)];
        if (i % 30 == 0) {
            std::filesystem::create_directory(dir.Path(job.directory));
            ahead.DirectoryReady(job.directory);
        }
        DecodedPayload payload;
        ExpandResult r;
        if (ahead.Take(job.source, payload)) {
            r = PlaceDecodedPayload(payload, job.source.c_str(), job.dest.c_str(), placement);
        } else {
            ++left;
            FilePtr owned;
            FileRange range;
            const Medium::StreamHold stream(medium);
            ASSERT_TRUE(medium.Open(job.source, owned, range));
            r = ExpandLzhufRange(range, job.source.c_str(), job.dest.c_str(), LzhufEnd::ZeroBits,
                                 sum.sum.Find(job.source), placement);
        }
        ASSERT_EQ(r.status, ExpandStatus::kOk);
    }
    closer.Wait();
    EXPECT_GT(left, 0);
    EXPECT_LT(left, kPayloads);
    for (int i = 0; i < kPayloads; ++i) EXPECT_EQ(dir.Read(jobs[size_t(i)].dest.substr(dir.Path().size() + 1)), Content(i));
}

}  // namespace
