// Payloads decoded ahead of the run that places them, on threads of their
// own: while the unattended run puts one file in place, one thread reads the
// next ones from the medium, others decode them and check them against
// setup.sum on the other processors, and the reading thread writes the
// decoded ones into their temporary files beside their destinations once
// the run has made their directories (StageDecodedPayload). The run alone
// renames them into place, checks and records them, in its order.
// Win32-free.
#pragma once

#include "formats/medium.h"
#include "expand/lzhuf_file.h"

#include "base/thread_sync.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A payload and where it goes: its destination, and the directory it lies
// in as the run names it to DirectoryReady.
struct PayloadJob {
    std::string source;
    std::string dest;
    std::string directory;
};

class PayloadPrefetch {
public:
    // |jobs|: the payloads in the order Take will ask for them, decoded on
    // |threads| threads (none: Take gives nothing) from what one more thread
    // reads, at most kFetchedAhead payloads and about kFetchedBytes ahead.
    // At most |budget| decoded bytes are held beyond the payload Take waits
    // for; a payload that states more than |largest| bytes is left to the
    // caller. Each decoding thread first calls |starting| (to lower its
    // priority, say).
    PayloadPrefetch(const Medium& medium, std::vector<PayloadJob> jobs, unsigned threads,
                    std::function<void()> starting = nullptr, size_t budget = size_t(64) << 20,
                    size_t largest = size_t(16) << 20);
    // Stops the threads (a payload being decoded is finished first).
    ~PayloadPrefetch();
    PayloadPrefetch(const PayloadPrefetch&) = delete;
    PayloadPrefetch& operator=(const PayloadPrefetch&) = delete;

    // Waits for the next payload in order and moves it into |payload|. False,
    // with nothing given, when |source| is not the next one (the caller
    // decodes it itself; the next call may ask for the next one again) or the
    // payload is left to the caller (too large, or not listed in setup.sum).
    bool Take(const std::string& source, DecodedPayload& payload);

    // The run has made sure that |directory| is there: the payloads that go
    // into it may be written into their temporary files ahead.
    void DirectoryReady(const std::string& directory);

private:
    enum class State { kQueued, kDecoding, kDone, kStaging, kLeft };
    // Temporary files written ahead of the run, at most.
    static constexpr size_t kStagedAhead = 64;
    // Payloads read ahead of the decoding threads, and their compressed
    // bytes held, at most (the last one read may go past the bytes).
    static constexpr size_t kFetchedAhead = 64;
    static constexpr size_t kFetchedBytes = size_t(8) << 20;
    struct Slot {
        State state = State::kQueued;
        size_t held = 0;  // decoded bytes counted against the budget
        DecodedPayload payload;
        // Set by the reading thread: the compressed bytes (none for a
        // payload left to the run) and how reading them went.
        bool fetched = false;
        std::vector<uint8_t> compressed;
        Medium::ReadOutcome outcome = Medium::ReadOutcome::kRead;
    };

    static void Run(void* self);
    static void RunTransfer(void* self);
    void Work();
    void Transfer();
    bool StageNext();
    void ReadAt(size_t index);
    // Stops the threads and joins them.
    void StopThreads();
    // A payload's entry in setup.sum (none without one, or when not listed).
    const SumEntry* Expected(const std::string& source) const;
    // Not read or decoded here: the run refuses it (not in setup.sum) or
    // decodes it itself (larger than |largest| by setup.sum's word).
    bool LeftToRun(const SumEntry* expected) const;
    bool Ready(const std::string& directory) const;
    void Decode(size_t index);
    // Waits, m_lock held, until |ready|() (a test of state under the lock).
    template <class Ready>
    void WaitUntil(Ready ready) {
        while (!ready()) m_lock.Wait();
    }

    const Medium& m_medium;
    const std::vector<PayloadJob> m_jobs;
    const size_t m_budget;
    const size_t m_largest;
    const std::function<void()> m_starting;
    std::vector<Slot> m_slots;
    size_t m_nextClaim = 0;  // the next payload a thread decodes
    size_t m_nextTake = 0;   // the next payload Take gives
    size_t m_nextStage = 0;  // the next payload to write into its temporary file
    size_t m_held = 0;       // decoded bytes not taken yet
    size_t m_fetchedBytes = 0;      // compressed bytes read and not decoded yet
    size_t m_fetchWaiters = 0;      // decoding threads waiting for a payload to be read
    bool m_transferWaits = false;   // the reading and writing thread waits
    size_t m_budgetWaiters = 0;     // decoding threads waiting for room in the budget
    size_t m_wakeAt = SIZE_MAX;     // the reading and writing thread waits for m_nextTake to reach this
    size_t m_stageWaiting = SIZE_MAX;  // the payload it waits to write next
    // The directories the run has made sure of last (a list fills one
    // directory after another), the latest at m_ready[m_readyNext - 1].
    static constexpr size_t kReadyKept = 8;
    std::string m_ready[kReadyKept];
    size_t m_readyNext = 0;
    bool m_stopping = false;
    ThreadLock m_lock;
    std::vector<std::unique_ptr<WorkThread>> m_threads;  // the reading and writing thread, then the decoding ones
};
