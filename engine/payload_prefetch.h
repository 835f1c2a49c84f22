// Payloads decoded ahead of the unattended run that places them. Each
// payload passes three stages, in the run's order, on threads of their own:
//
//   read    the transfer thread reads its compressed bytes from the medium
//           into one small bounded queue (ReadNext);
//   decode  a decoding thread takes it from the queue, decodes it and checks
//           it against setup.sum into the payload's slot, within a budget of
//           decoded bytes held (Decode);
//   stage   the transfer thread again writes it into its temporary file
//           beside its destination once the run has made its directory
//           (StageNext, StageDecodedPayload).
//
// The run takes each one (Take) and alone renames it into place, checks and
// records it. Reading and staging share a thread: under Wine a file's first
// read or write waits for the server under a lock of the process, which
// threads doing them side by side would take turns at. Win32-free.
#pragma once

#include "base/thread_sync.h"
#include "expand/lzhuf_file.h"
#include "formats/medium.h"

#include <cstddef>
#include <cstdint>
#include <deque>
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

// How far ahead of the run each stage of a PayloadPrefetch may go.
struct PrefetchLimits {
    // Decoded bytes held beyond the payload Take waits for, at most.
    size_t budget = size_t(64) << 20;
    // A payload that states more bytes is left to the caller (setup.sum's
    // size, else its header's).
    size_t largest = size_t(16) << 20;
    // Payloads read and not yet taken by a decoding thread, and their
    // compressed bytes, at most (the last one read may go past the bytes).
    size_t readAhead = 64;
    size_t readBytes = size_t(8) << 20;
    // Payloads written into their temporary files ahead of Take, at most.
    size_t stagedAhead = 64;
};

// Threads: one owner thread (the run's) makes it, calls Take and
// DirectoryReady and destroys it; the transfer thread runs Transfer, the
// decoding threads Decode. m_lock guards every field that is not const,
// except the payload of a slot in State::kBusy (see State). Lock order: m_lock
// is a leaf; the stages read the medium (its StreamHold), decode and write
// without it. The owner never calls Take while it holds the medium's
// StreamHold (see Medium::StreamHold): the payload waited for may still have
// to be read under it.
class PayloadPrefetch {
public:
    // |jobs|: the payloads in the order Take will ask for them, decoded on
    // |threads| threads (none: Take gives nothing) from what one more thread
    // reads. Each decoding thread first calls |starting| (to lower its
    // priority, say).
    PayloadPrefetch(const Medium& medium, std::vector<PayloadJob> jobs, unsigned threads,
                    std::function<void()> starting = nullptr, const PrefetchLimits& limits = PrefetchLimits());
    // Stops the threads (a payload being decoded or written is finished
    // first); payloads written ahead and not taken leave no file.
    ~PayloadPrefetch();
    PayloadPrefetch(const PayloadPrefetch&) = delete;
    PayloadPrefetch& operator=(const PayloadPrefetch&) = delete;

    // Owner thread. Waits for the next payload in order and moves it into
    // |payload|. False, with nothing given, when |source| is not the next one
    // (the caller decodes it itself; the next call may ask for the next one
    // again) or the payload is left to the caller (too large, or not listed
    // in setup.sum).
    bool Take(const std::string& source, DecodedPayload& payload);

    // Owner thread. The run has made sure that |directory| is there: the
    // payloads that go into it may be written into their temporary files.
    void DirectoryReady(const std::string& directory);

private:
    // kBusy until the decode stage is done with the payload: it belongs to
    // the one stage working on it (the decoding thread, later the transfer
    // thread while it writes it), which touches it without the lock. Then
    // kDecoded (with the outcome; the staging may make it kBusy once more)
    // or kLeft (the caller decodes it itself): Take may give it.
    enum class State { kBusy, kDecoded, kLeft };
    struct Slot {
        State state = State::kBusy;
        size_t held = 0;  // decoded bytes counted against the budget
        DecodedPayload payload;
    };
    // A payload read, in the queue between the read and decode stages.
    struct Read {
        size_t index;
        Medium::ReadOutcome outcome;
        std::vector<uint8_t> compressed;  // none unless outcome is kRead
    };

    static void RunTransfer(void* self);
    static void RunDecode(void* self);
    // The transfer thread: reads and stages, staging first.
    void Transfer();
    // The decoding threads.
    void Decode();
    // With the lock held, on the transfer thread: read or stage one payload
    // if that can be done now; false when it cannot (yet).
    bool ReadNext();
    bool StageNext();
    // With the lock held: the payload to stage next.
    size_t NextToStage() const { return m_nextStage > m_nextTake ? m_nextStage : m_nextTake; }
    // With the lock held: payload |index| leaves the decode stage as |state|.
    void Decoded(size_t index, State state);
    void StopThreads();
    // A payload's entry in setup.sum (none without one, or when not listed).
    const SumEntry* Expected(const std::string& source) const;
    bool Ready(const std::string& directory) const;

    // Set by the constructor, read-only afterwards (any thread).
    const Medium& m_medium;
    const std::vector<PayloadJob> m_jobs;
    const PrefetchLimits m_limits;
    const std::function<void()> m_starting;

    ThreadLock m_lock;
    std::vector<Slot> m_slots;  // guarded by m_lock (a kBusy slot's payload: see State)
    std::deque<Read> m_read;    // guarded by m_lock: read -> decode, in order
    size_t m_readBytes = 0;     // guarded by m_lock: the compressed bytes in m_read
    size_t m_nextRead = 0;      // guarded by m_lock: the next payload to read (those before are queued or left)
    size_t m_held = 0;          // guarded by m_lock: decoded bytes in slots, not staged or taken
    size_t m_nextStage = 0;     // guarded by m_lock: the next payload to stage, unless Take is past it
    size_t m_nextTake = 0;      // guarded by m_lock: the next payload Take gives
    // Guarded by m_lock: Take wakes the transfer thread when m_nextTake
    // reaches this (a wake-up per payload would cost a switch between threads each).
    size_t m_wakeTransferAt = SIZE_MAX;
    // Guarded by m_lock: the directories the run has made sure of last (a
    // list fills one directory after another), the latest at
    // m_ready[(m_readyNext - 1) % kReadyKept].
    static constexpr size_t kReadyKept = 8;
    std::string m_ready[kReadyKept];
    size_t m_readyNext = 0;
    bool m_stopping = false;  // guarded by m_lock: the threads are to return

    // One condition per kind of waiter (see ThreadCondition):
    // the decoding threads, for a payload in m_read, the end of reading or the stop;
    ThreadCondition m_toDecode{m_lock};
    // the decoding threads, for room in the budget, their payload being the
    // one Take waits for, or the stop;
    ThreadCondition m_budgetRoom{m_lock};
    // the transfer thread, for something to read or stage, or the stop;
    ThreadCondition m_transferWork{m_lock};
    // Take, for its slot to leave kBusy.
    ThreadCondition m_given{m_lock};

    // The owner's: the transfer thread, then the decoding ones.
    std::vector<std::unique_ptr<WorkThread>> m_threads;
};
