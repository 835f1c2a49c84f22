#include "engine/payload_prefetch.h"

#include "expand/medium_blocks.h"
#include "expand/payload_codec.h"

#include <new>
#include <utility>

PayloadPrefetch::PayloadPrefetch(const Medium& medium, std::vector<PayloadJob> jobs, unsigned threads,
                                 std::function<void()> starting, const PrefetchLimits& limits)
    : m_medium(medium), m_jobs(std::move(jobs)), m_limits(limits), m_starting(std::move(starting)),
      m_slots(m_jobs.size()) {
    if (threads == 0 || m_jobs.empty()) return;
    m_threads.reserve(threads + 1);
    std::unique_ptr<WorkThread> transfer(new WorkThread(&PayloadPrefetch::RunTransfer, this));
    if (!transfer->Started()) return;  // none: Take leaves every payload to the caller
    m_threads.push_back(std::move(transfer));
    for (unsigned i = 0; i < threads && i < m_jobs.size(); ++i) {
        std::unique_ptr<WorkThread> thread(new WorkThread(&PayloadPrefetch::RunDecode, this));
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
        m_toDecode.WakeAll();
        m_budgetRoom.WakeAll();
        m_transferWork.WakeAll();
    }
    m_threads.clear();  // joins them
}

void PayloadPrefetch::RunTransfer(void* self) { static_cast<PayloadPrefetch*>(self)->Transfer(); }

void PayloadPrefetch::RunDecode(void* self) { static_cast<PayloadPrefetch*>(self)->Decode(); }

bool PayloadPrefetch::Take(const std::string& source, DecodedPayload& payload) {
    ThreadHold hold(m_lock);
    // A payload asked for out of order is the caller's to decode; the order
    // goes on (what is decoded ahead is bounded by the budget meanwhile).
    if (m_threads.empty() || m_nextTake >= m_jobs.size() || m_jobs[m_nextTake].source != source) return false;
    Slot& slot = m_slots[m_nextTake];
    while (slot.state == State::kBusy) m_given.Wait();
    ++m_nextTake;
    m_held -= slot.held;
    const bool decoded = slot.state == State::kDecoded;
    if (decoded) payload = std::move(slot.payload);
    slot.payload = DecodedPayload();
    // Room in the budget, and the next payload is the one waited for now.
    m_budgetRoom.WakeAll();
    if (m_nextTake >= m_wakeTransferAt) {
        m_wakeTransferAt = SIZE_MAX;
        m_transferWork.WakeAll();
    }
    return decoded;
}

void PayloadPrefetch::DirectoryReady(const std::string& directory) {
    ThreadHold hold(m_lock);
    if (Ready(directory)) return;
    m_ready[m_readyNext++ % kReadyKept] = directory;
    m_transferWork.WakeAll();
}

bool PayloadPrefetch::Ready(const std::string& directory) const {
    for (const std::string& ready : m_ready)
        if (!ready.empty() && ready == directory) return true;
    return false;
}

const SumEntry* PayloadPrefetch::Expected(const std::string& source) const {
    const DistributionSum& sum = m_medium.Sum();
    return sum.present ? sum.sum.Find(source) : nullptr;
}

// Staging comes first: the run may be waiting for it, and what is staged
// makes room in the budget.
void PayloadPrefetch::Transfer() {
    ThreadHold hold(m_lock);
    for (;;) {
        if (m_stopping) return;
        if (StageNext() || ReadNext()) continue;
        const size_t next = NextToStage();
        if (m_nextRead >= m_jobs.size() && next >= m_jobs.size()) return;  // nothing left to do
        // Decoding threads wake it when they take a payload from the queue
        // or finish the one to stage next; the run when it makes a
        // directory, and when it has taken what this asks it to: the payload
        // to stage next (it is not staged then), or half the payloads staged
        // ahead when they are as many as may be.
        if (next < m_jobs.size()) {
            const size_t at = next < m_nextTake + m_limits.stagedAhead ? next + 1 : next - m_limits.stagedAhead / 2;
            if (at < m_wakeTransferAt) m_wakeTransferAt = at;
        }
        m_transferWork.Wait();
    }
}

bool PayloadPrefetch::StageNext() {
    const size_t index = NextToStage();
    if (index >= m_jobs.size() || index >= m_nextTake + m_limits.stagedAhead) return false;
    Slot& slot = m_slots[index];
    if (slot.state == State::kBusy || !Ready(m_jobs[index].directory)) return false;
    m_nextStage = index + 1;
    if (slot.state != State::kDecoded) return true;
    // Take waits while it is written.
    slot.state = State::kBusy;
    bool staged;
    {
        ThreadRelease unlocked(m_lock);
        staged = StageDecodedPayload(slot.payload, m_jobs[index].dest.c_str());
    }
    slot.state = State::kDecoded;
    if (staged) {
        // Its bytes are in the file now, no longer in memory.
        m_held -= slot.held;
        slot.held = 0;
        m_budgetRoom.WakeAll();
    }
    if (index == m_nextTake) m_given.WakeAll();
    return true;
}

bool PayloadPrefetch::ReadNext() {
    if (m_nextRead >= m_jobs.size() || m_read.size() >= m_limits.readAhead || m_readBytes > m_limits.readBytes)
        return false;
    // (m_nextRead moves on only once the payload is in the queue, or left:
    // a decoding thread that finds the queue empty and everything read
    // returns.)
    const size_t index = m_nextRead;
    const std::string& source = m_jobs[index].source;
    const SumEntry* expected = Expected(source);
    // Not listed in setup.sum: the run refuses it before it would decode it.
    // Larger than what is held in memory by setup.sum's word: the run
    // decodes it itself, and it is not read here at all.
    if ((m_medium.Sum().present && !expected) || (expected && expected->size > m_limits.largest)) {
        ++m_nextRead;
        Decoded(index, State::kLeft);
        if (m_nextRead == m_jobs.size()) m_toDecode.WakeAll();  // the decoding threads are done
        return true;
    }
    Read read{index, Medium::ReadOutcome::kRead, {}};
    {
        ThreadRelease unlocked(m_lock);
        read.outcome = m_medium.ReadWhole(source, read.compressed);
    }
    ++m_nextRead;
    m_readBytes += read.compressed.size();
    m_read.push_back(std::move(read));
    m_toDecode.WakeAll();
    return true;
}

void PayloadPrefetch::Decode() {
    if (m_starting) m_starting();
    ThreadHold hold(m_lock);
    for (;;) {
        while (!m_stopping && m_read.empty() && m_nextRead < m_jobs.size()) m_toDecode.Wait();
        if (m_stopping || m_read.empty()) return;  // stopping, or everything is read and taken
        Read read = std::move(m_read.front());
        m_read.pop_front();
        m_readBytes -= read.compressed.size();
        m_transferWork.WakeAll();  // room to read
        const size_t index = read.index;
        Slot& slot = m_slots[index];
        DecodedPayload& payload = slot.payload;
        if (read.outcome != Medium::ReadOutcome::kRead) {
            payload.status = read.outcome == Medium::ReadOutcome::kMissing ? ExpandStatus::kSourceOpenFailed
                                                                             : ExpandStatus::kReadFailed;
            Decoded(index, State::kDecoded);
            continue;
        }
        // The size the header states decides whether it is held in memory; a
        // larger one (or a damaged header that says so) is decoded by the
        // caller straight into its file.
        const uint64_t statedSize = StatedPayloadSize(read.compressed.data(), read.compressed.size());
        if (statedSize > m_limits.largest) {
            Decoded(index, State::kLeft);
            continue;
        }
        const size_t stated = size_t(statedSize);
        // The payload the run waits for is never held back; the others wait
        // until taking or staging has made room.
        while (!m_stopping && index != m_nextTake && m_held + stated > m_limits.budget) m_budgetRoom.Wait();
        if (m_stopping) return;
        m_held += stated;
        slot.held = stated;
        State state = State::kLeft;
        {
            ThreadRelease unlocked(m_lock);
            try {
                DecodeLzhufBytes(read.compressed, payload, LzhufEnd::ZeroBits, Expected(m_jobs[index].source),
                                 &SolidBlocksOf(m_medium));
                state = State::kDecoded;
            } catch (const std::bad_alloc&) {
                // Left to the caller, which decodes it straight into its file.
            }
            std::vector<uint8_t>().swap(read.compressed);
        }
        Decoded(index, state);
    }
}

void PayloadPrefetch::Decoded(size_t index, State state) {
    Slot& slot = m_slots[index];
    slot.state = state;
    if (state == State::kLeft || slot.payload.status != ExpandStatus::kOk) {
        // Nothing of it is held in memory.
        slot.payload.bytes = std::vector<uint8_t>();
        m_held -= slot.held;
        slot.held = 0;
        m_budgetRoom.WakeAll();
    }
    if (state == State::kLeft) slot.payload = DecodedPayload();
    // Only who waits for this payload (the run, the transfer thread) is woken.
    if (index == m_nextTake) m_given.WakeAll();
    if (index == NextToStage()) m_transferWork.WakeAll();
}
