// Closes files on a thread of its own for a caller that need not wait for
// it: a file put in place is closed while the next one is written. (Under
// Wine every close is a round trip to the server.) Win32-free.
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

    // Closes |what| with |close|, at once or on the thread. Nothing waits
    // for the outcome: only for a file whose writes have all been checked.
    void Close(void (*close)(void*), void* what);
    void Close(std::FILE* file);
    // Returns once everything handed over so far is closed: before a file
    // that may still be open is renamed, moved or read again.
    void Wait();

private:
    // Files are handed to the thread a few at a time: each wake-up is a
    // switch between threads.
    static constexpr size_t kBatch = 8;

    static void Run(void* self);
    void Work();

    struct Pending {
        void (*close)(void*);
        void* what;
    };
    ThreadLock m_lock;
    std::vector<Pending> m_pending;
    bool m_closing = false;   // the thread is closing a batch taken from m_pending
    bool m_flushing = false;  // Wait waits: the thread takes whatever is there
    bool m_stopping = false;
    std::unique_ptr<WorkThread> m_thread;
};
