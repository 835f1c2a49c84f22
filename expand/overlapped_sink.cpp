#include "expand/overlapped_sink.h"

OverlappedSink::OverlappedSink(LzhufSink& next) : m_next(next) {
    m_thread.reset(new WorkThread(&OverlappedSink::Run, this));
}

OverlappedSink::~OverlappedSink() {
    {
        ThreadHold hold(m_lock);
        m_stopping = true;
        m_handedOver.WakeAll();
    }
    m_thread.reset();  // joins it, once it has passed on what was handed over
}

void OverlappedSink::Run(void* self) { static_cast<OverlappedSink*>(self)->Work(); }

bool OverlappedSink::Write(const uint8_t* data, size_t size) {
    std::vector<uint8_t>* buffer;
    {
        ThreadHold hold(m_lock);
        while (!m_refused && m_handed - m_passed == kBuffers) m_passedOn.Wait();
        if (m_refused) return false;
        buffer = &m_buffers[m_handed % kBuffers];
    }
    // The thread does not touch this buffer until it is counted as handed.
    buffer->assign(data, data + size);
    ThreadHold hold(m_lock);
    ++m_handed;
    m_handedOver.WakeAll();
    return true;
}

bool OverlappedSink::Finish() {
    ThreadHold hold(m_lock);
    while (m_passed != m_handed) m_passedOn.Wait();
    return !m_refused;
}

void OverlappedSink::Work() {
    ThreadHold hold(m_lock);
    for (;;) {
        while (!m_stopping && m_passed == m_handed) m_handedOver.Wait();
        if (m_passed == m_handed) return;  // stopping, and nothing left
        const std::vector<uint8_t>& buffer = m_buffers[m_passed % kBuffers];
        // After a refusal the rest is dropped: the expansion has failed.
        if (!m_refused) {
            bool written;
            {
                ThreadRelease unlocked(m_lock);
                written = m_next.Write(buffer.data(), buffer.size());
            }
            if (!written) m_refused = true;
        }
        ++m_passed;
        m_passedOn.WakeAll();
    }
}
