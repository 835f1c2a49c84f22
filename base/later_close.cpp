#include "base/later_close.h"

#include <utility>

namespace {

void CloseStream(void* file) { std::fclose(static_cast<std::FILE*>(file)); }

}  // namespace

LaterClose::LaterClose() {
    m_thread.reset(new WorkThread(&LaterClose::Run, this));
    if (!m_thread->Started()) m_thread.reset();
}

LaterClose::~LaterClose() {
    if (!m_thread) return;
    {
        ThreadHold hold(m_lock);
        m_stopping = true;
        m_work.WakeAll();
    }
    m_thread.reset();  // joins it once everything is closed
}

void LaterClose::Close(void (*close)(void*), void* what) {
    if (!m_thread) {
        close(what);
        return;
    }
    ThreadHold hold(m_lock);
    m_pending.push_back(Pending{close, what});
    // (A thread busy with a batch looks again before it waits.)
    if (m_pending.size() == kBatch) m_work.WakeAll();
}

void LaterClose::Close(std::FILE* file) { Close(&CloseStream, file); }

void LaterClose::Wait() {
    if (!m_thread) return;
    ThreadHold hold(m_lock);
    m_flushing = true;
    m_work.WakeAll();
    while (!m_pending.empty() || m_closing) m_closed.Wait();
    m_flushing = false;
}

void LaterClose::Run(void* self) { static_cast<LaterClose*>(self)->Work(); }

void LaterClose::Work() {
    std::vector<Pending> batch;
    ThreadHold hold(m_lock);
    for (;;) {
        // A batch, or whatever there is when waited for or stopping.
        while (!m_stopping && (m_pending.empty() || (m_pending.size() < kBatch && !m_flushing))) m_work.Wait();
        if (m_pending.empty()) break;  // stopping, with everything closed
        batch.swap(m_pending);
        m_closing = true;
        {
            ThreadRelease unlocked(m_lock);
            for (const Pending& pending : batch) pending.close(pending.what);
            batch.clear();
        }
        m_closing = false;
        if (m_flushing) m_closed.WakeAll();  // Wait waits for it
    }
}
