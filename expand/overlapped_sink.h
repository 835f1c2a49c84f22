// A sink that passes the decoder's blocks on to another sink on a thread of
// its own: while one block is hashed and written, the next is decoded.
// Win32-free.
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

    // Copies the block and hands it over; waits while every buffer is still
    // full. False once the next sink has refused a block (later blocks are
    // not passed on).
    bool Write(const uint8_t* data, size_t size) override;

    // Waits until every block handed over has been passed on; false when the
    // next sink refused one.
    bool Finish();

private:
    // Blocks held between the two threads, at most.
    static constexpr size_t kBuffers = 4;

    static void Run(void* self);
    void Work();

    LzhufSink& m_next;
    std::vector<uint8_t> m_buffers[kBuffers];
    ThreadLock m_lock;
    uint64_t m_handed = 0;   // blocks handed over by Write
    uint64_t m_passed = 0;   // blocks the thread is done with
    bool m_refused = false;  // the next sink refused a block
    bool m_stopping = false;
    std::unique_ptr<WorkThread> m_thread;
};
