// A sink that passes the decoder's blocks on to another sink on a thread of
// its own: while one block is hashed and written, the next is decoded.
// Win32-free.
//
// Threads: one owner thread (the one that decodes) makes it, calls Write
// and Finish and destroys it; the sink's thread runs Work and alone calls
// the next sink. The blocks pass through a ring of kBuffers buffers, handed
// over by two counters: buffer i % kBuffers belongs to the sink's thread
// while m_passed <= i < m_handed, to the owner otherwise, and is touched
// without the lock by whichever has it. m_lock is a leaf: the next sink is
// called without it.
#pragma once

#include "base/thread_sync.h"
#include "expand/lzhuf_decode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class OverlappedSink : public LzhufSink {
public:
    // Starts the thread; without it (it cannot be started) Started() is
    // false and the sink must not be used.
    explicit OverlappedSink(LzhufSink& next);
    // Finishes what was handed over and stops the thread.
    ~OverlappedSink() override;
    OverlappedSink(const OverlappedSink&) = delete;
    OverlappedSink& operator=(const OverlappedSink&) = delete;

    bool Started() const { return m_thread && m_thread->Started(); }

    // Owner thread. Copies the block and hands it over; waits while every
    // buffer is still full. False once the next sink has refused a block
    // (later blocks are not passed on).
    bool Write(const uint8_t* data, size_t size) override;

    // Owner thread. Waits until every block handed over has been passed on;
    // false when the next sink refused one.
    bool Finish();

private:
    // Blocks held between the two threads, at most.
    static constexpr size_t kBuffers = 4;

    static void Run(void* self);
    // The sink's thread.
    void Work();

    LzhufSink& m_next;
    std::vector<uint8_t> m_buffers[kBuffers];  // handed over by the counters (see above)
    ThreadLock m_lock;
    uint64_t m_handed = 0;   // guarded by m_lock: blocks handed over by Write
    uint64_t m_passed = 0;   // guarded by m_lock: blocks the thread is done with
    bool m_refused = false;  // guarded by m_lock: the next sink refused a block
    bool m_stopping = false; // guarded by m_lock: the destructor waits for the thread to end
    // The thread waits for a block handed over, or the stop.
    ThreadCondition m_handedOver{m_lock};
    // The owner waits for a block passed on (a buffer free, or all passed).
    ThreadCondition m_passedOn{m_lock};
    std::unique_ptr<WorkThread> m_thread;
};
