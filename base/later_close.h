// Closes files on a thread of its own for a caller that need not wait for
// it: a file put in place is closed while the next one is written. (Under
// Wine every close is a round trip to the server.) Win32-free.
//
// Threads: one owner thread (the run's) makes it, hands files over with
// Close, waits with Wait and destroys it; the closing thread runs Work. The
// files handed over belong to the closing thread from then on. m_lock is a
// leaf: no other lock is taken while it is held, and the files are closed
// without it.
#pragma once

#include "base/thread_sync.h"

#include <cstdio>
#include <memory>
#include <vector>

class LaterClose {
public:
    // Starts the closing thread; without it (it cannot be started) every
    // file is closed at once.
    LaterClose();
    // Closes what is still waiting and stops the thread.
    ~LaterClose();
    LaterClose(const LaterClose&) = delete;
    LaterClose& operator=(const LaterClose&) = delete;

    // Owner thread. Closes |what| with |close|, at once or on the thread.
    // Nothing waits for the outcome: only for a file whose writes have all
    // been checked.
    void Close(void (*close)(void*), void* what);
    void Close(std::FILE* file);
    // Owner thread. Returns once everything handed over so far is closed:
    // before a file that may still be open is renamed, moved or read again.
    void Wait();

private:
    // Files are handed to the thread a few at a time: each wake-up is a
    // switch between threads.
    static constexpr size_t kBatch = 8;

    static void Run(void* self);
    // The closing thread.
    void Work();

    struct Pending {
        void (*close)(void*);
        void* what;
    };
    ThreadLock m_lock;
    std::vector<Pending> m_pending;  // guarded by m_lock: handed over, not taken by the thread yet
    bool m_closing = false;          // guarded by m_lock: the thread is closing a batch taken from m_pending
    bool m_flushing = false;         // guarded by m_lock: Wait waits, the thread takes whatever is there
    bool m_stopping = false;         // guarded by m_lock: the destructor waits for the thread to end
    // The closing thread waits for a batch, a flush or the stop.
    ThreadCondition m_work{m_lock};
    // Wait waits for m_pending to be empty and m_closing false.
    ThreadCondition m_closed{m_lock};
    std::unique_ptr<WorkThread> m_thread;  // null: closed at once
};
