#include "expand/payload_prefetch.h"

#include "expand/payload_codec.h"

#include <algorithm>
#include <new>
#include <utility>

PayloadPrefetch::PayloadPrefetch(const Medium& medium, std::vector<PayloadJob> jobs, unsigned threads,
                                 std::function<void()> starting, size_t budget, size_t largest)
    : m_medium(medium), m_jobs(std::move(jobs)), m_budget(budget), m_largest(largest),
      m_starting(std::move(starting)), m_slots(m_jobs.size()) {
    if (threads == 0 || m_jobs.empty()) return;
    m_threads.reserve(threads + 1);
    // One thread reads and writes the files, the others only decode: under
    // Wine a file's first read or write waits for the server under a lock of
    // the process, which threads doing them side by side take turns at.
    std::unique_ptr<WorkThread> transfer(new WorkThread(&PayloadPrefetch::RunTransfer, this));
    if (!transfer->Started()) return;  // none: Take leaves every payload to the caller
    m_threads.push_back(std::move(transfer));
    for (unsigned i = 0; i < threads && i < m_jobs.size(); ++i) {
        std::unique_ptr<WorkThread> thread(new WorkThread(&PayloadPrefetch::Run, this));
        // Fewer threads, or none: Take then leaves every payload to the caller.
        if (!thread->Started()) break;
        m_threads.push_back(std::move(thread));
    }
    if (m_threads.size() == 1) StopThreads();  // nothing decodes what would be read
}

PayloadPrefetch::~PayloadPrefetch() { StopThreads(); }

void PayloadPrefetch::StopThreads() {
    {
        ThreadHold hold(m_lock);
        m_stopping = true;
        m_lock.WakeAll();
    }
    m_threads.clear();  // joins them
}

bool PayloadPrefetch::Take(const std::string& source, DecodedPayload& payload) {
    ThreadHold hold(m_lock);
    // A payload asked for out of order is the caller's to decode; the order
    // goes on (what is decoded ahead is bounded by the budget meanwhile).
    if (m_threads.empty() || m_nextTake >= m_jobs.size() || m_jobs[m_nextTake].source != source) return false;
    Slot& slot = m_slots[m_nextTake];
    WaitUntil([&slot] { return slot.state == State::kDone || slot.state == State::kLeft; });
    ++m_nextTake;
    m_held -= slot.held;
    const bool decoded = slot.state == State::kDone;
    if (decoded) payload = std::move(slot.payload);
    slot.payload = DecodedPayload();
    // The budget has room again, and the next payload is the one waited for;
    // the reading and writing thread is woken only when it waits for this far
    // (a wake-up per payload would cost a switch between threads each).
    if (m_budgetWaiters > 0 || m_nextTake >= m_wakeAt) {
        m_wakeAt = SIZE_MAX;
        m_lock.WakeAll();
    }
    return decoded;
}

void PayloadPrefetch::Run(void* self) { static_cast<PayloadPrefetch*>(self)->Work(); }

void PayloadPrefetch::RunTransfer(void* self) { static_cast<PayloadPrefetch*>(self)->Transfer(); }

void PayloadPrefetch::DirectoryReady(const std::string& directory) {
    ThreadHold hold(m_lock);
    if (Ready(directory)) return;
    m_ready[m_readyNext++ % kReadyKept] = directory;
    m_lock.WakeAll();
}

bool PayloadPrefetch::Ready(const std::string& directory) const {
    for (const std::string& ready : m_ready)
        if (!ready.empty() && ready == directory) return true;
    return false;
}

// The thread that asks the system for files: it writes the decoded payloads
// into their temporary files, in order, as soon as their directories are
// there, a little ahead of the run (the run may be waiting for that, so it
// comes first), and reads the payloads' compressed bytes, in order, a bounded
// way ahead of the decoding threads. A payload the run has taken meanwhile,
// or one it is to meet the failure of, is not written.
void PayloadPrefetch::Transfer() {
    ThreadHold hold(m_lock);
    size_t read = 0;  // the next payload to read
    for (;;) {
        if (m_stopping) return;
        if (StageNext()) continue;
        if (read < m_jobs.size() && read < m_nextClaim + kFetchedAhead && m_fetchedBytes <= kFetchedBytes) {
            ReadAt(read++);
            continue;
        }
        const size_t next = std::max(m_nextStage, m_nextTake);
        if (read >= m_jobs.size() && next >= m_jobs.size()) return;
        // Decoding threads wake it when they claim a payload, take its bytes
        // or finish the one it is to write next; the run when it makes a
        // directory, and when it has taken what this asks it to (the payload
        // to write next, or half the files written ahead).
        if (next < m_jobs.size()) {
            m_stageWaiting = next;
            m_wakeAt = std::min(m_wakeAt, next < m_nextTake + kStagedAhead ? next + 1 : next - kStagedAhead / 2);
        }
        m_transferWaits = true;
        m_lock.Wait();
        m_transferWaits = false;
        m_stageWaiting = SIZE_MAX;
    }
}

// With the lock held: writes the next payload into its temporary file if
// that can be done now; false when it cannot (yet).
bool PayloadPrefetch::StageNext() {
    const size_t index = std::max(m_nextStage, m_nextTake);
    if (index >= m_jobs.size() || index >= m_nextTake + kStagedAhead) return false;
    Slot& slot = m_slots[index];
    if (!(slot.state == State::kDone || slot.state == State::kLeft) || !Ready(m_jobs[index].directory)) return false;
    m_nextStage = index + 1;
    if (slot.state != State::kDone) return true;
    slot.state = State::kStaging;
    m_lock.Release();
    const bool staged = StageDecodedPayload(slot.payload, m_jobs[index].dest.c_str());
    m_lock.Acquire();
    slot.state = State::kDone;
    if (staged) {
        // Its bytes are in the file now, no longer in memory.
        m_held -= slot.held;
        slot.held = 0;
    }
    // The run may wait for this one; decoding threads for the room.
    if (index == m_nextTake || m_budgetWaiters > 0) m_lock.WakeAll();
    return true;
}

// With the lock held: reads payload |index|'s compressed bytes for the
// decoding threads (none for one left to the run).
void PayloadPrefetch::ReadAt(size_t index) {
    const std::string& source = m_jobs[index].source;
    std::vector<uint8_t> compressed;
    Medium::ReadOutcome outcome = Medium::ReadOutcome::kRead;
    m_lock.Release();
    if (!LeftToRun(Expected(source))) outcome = m_medium.ReadWhole(source, compressed);
    m_lock.Acquire();
    Slot& slot = m_slots[index];
    m_fetchedBytes += compressed.size();
    slot.compressed.swap(compressed);
    slot.outcome = outcome;
    slot.fetched = true;
    if (m_fetchWaiters > 0) m_lock.WakeAll();
}

const SumEntry* PayloadPrefetch::Expected(const std::string& source) const {
    const DistributionSum& sum = m_medium.Sum();
    return sum.present ? sum.sum.Find(source) : nullptr;
}

bool PayloadPrefetch::LeftToRun(const SumEntry* expected) const {
    return (m_medium.Sum().present && !expected) || (expected && expected->size > m_largest);
}

void PayloadPrefetch::Work() {
    if (m_starting) m_starting();
    for (;;) {
        size_t index;
        {
            ThreadHold hold(m_lock);
            if (m_stopping || m_nextClaim >= m_jobs.size()) return;
            index = m_nextClaim++;
            m_slots[index].state = State::kDecoding;
            if (m_transferWaits) m_lock.WakeAll();  // it reads a bounded way ahead of this
        }
        State state = State::kLeft;
        try {
            Decode(index);
            state = State::kDone;
        } catch (const std::bad_alloc&) {
            // Left to the caller, which decodes it straight into its file.
        }
        ThreadHold hold(m_lock);
        Slot& slot = m_slots[index];
        if (slot.state == State::kDecoding) slot.state = state;
        if (slot.state == State::kLeft) {
            m_held -= slot.held;
            slot.held = 0;
            slot.payload = DecodedPayload();
        }
        // Only who waits for this payload (the run, the writing thread) or
        // for room in the budget is woken: a wake-up is a switch between
        // threads.
        if (index == m_nextTake || index == m_stageWaiting || m_budgetWaiters > 0) m_lock.WakeAll();
    }
}

// Decodes payload |index| into its slot once it is read, or marks it left
// to the caller. Called without the lock.
void PayloadPrefetch::Decode(size_t index) {
    const std::string& source = m_jobs[index].source;
    Slot& slot = m_slots[index];
    DecodedPayload& payload = slot.payload;
    const SumEntry* expected = Expected(source);
    // Not listed: the run refuses it before it would decode it. Larger than
    // what is held in memory by setup.sum's word: the run decodes it itself,
    // and it is not read here at all.
    if (LeftToRun(expected)) {
        ThreadHold hold(m_lock);
        slot.state = State::kLeft;
        return;
    }

    std::vector<uint8_t> compressed;
    Medium::ReadOutcome outcome;
    {
        ThreadHold hold(m_lock);
        ++m_fetchWaiters;
        WaitUntil([&] { return m_stopping || slot.fetched; });
        --m_fetchWaiters;
        if (m_stopping) {
            slot.state = State::kLeft;
            return;
        }
        compressed.swap(slot.compressed);
        outcome = slot.outcome;
        m_fetchedBytes -= compressed.size();
        if (m_transferWaits) m_lock.WakeAll();
    }
    switch (outcome) {
    case Medium::ReadOutcome::kMissing:
        payload.status = ExpandStatus::kSourceOpenFailed;
        return;
    case Medium::ReadOutcome::kFailed:
        payload.status = ExpandStatus::kReadFailed;
        return;
    case Medium::ReadOutcome::kRead:
        break;
    }
    // The size the header states decides whether it is held in memory; a
    // larger one (or a damaged header that says so) is decoded by the
    // caller straight into its file.
    const uint64_t stated = StatedPayloadSize(compressed.data(), compressed.size());
    {
        ThreadHold hold(m_lock);
        if (stated > m_largest) {
            slot.state = State::kLeft;
            return;
        }
        // The payload the run waits for is never held back; the others wait
        // until taking has made room.
        ++m_budgetWaiters;
        WaitUntil([&] { return m_stopping || index == m_nextTake || m_held + stated <= m_budget; });
        --m_budgetWaiters;
        if (m_stopping) {
            slot.state = State::kLeft;
            return;
        }
        m_held += stated;
        slot.held = stated;
    }
    DecodeLzhufBytes(compressed, payload, LzhufEnd::ZeroBits, expected);
}
