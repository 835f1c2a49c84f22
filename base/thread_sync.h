// The little the installer needs to run work on threads of its own: a lock,
// a wake-up for whoever waits under it, and starting and joining a thread.
// On Windows these are the system's slim reader/writer lock and condition
// variable (Windows Vista and later, looked up at run time): waiting and
// waking cost no call to the system while nobody waits, and under Wine no
// round trip to its server at all. Where they are missing (Windows XP) no
// thread is started and the work is done where it is asked for.
// Win32-free interface.
#pragma once

#include <cstdint>

class ThreadLock {
public:
    ThreadLock();
    ~ThreadLock();
    ThreadLock(const ThreadLock&) = delete;
    ThreadLock& operator=(const ThreadLock&) = delete;

    void Acquire();
    void Release();
    // Releases the lock, waits for WakeAll, and acquires it again.
    void Wait();
    // Wakes every thread waiting under this lock.
    void WakeAll();

private:
    // The system's lock and condition variable (each the size of a pointer
    // on Windows; a pthread mutex and condition elsewhere).
    alignas(8) unsigned char m_storage[128];
};

// Holds a ThreadLock for its own lifetime.
class ThreadHold {
public:
    explicit ThreadHold(ThreadLock& lock) : m_lock(lock) { m_lock.Acquire(); }
    ~ThreadHold() { m_lock.Release(); }
    ThreadHold(const ThreadHold&) = delete;
    ThreadHold& operator=(const ThreadHold&) = delete;

private:
    ThreadLock& m_lock;
};

// A thread running |work|(|argument|); Started() is false when it could not
// be started (or threads are not available), and then |work| never runs.
class WorkThread {
public:
    WorkThread(void (*work)(void*), void* argument);
    // Waits for the thread to end.
    ~WorkThread();
    WorkThread(const WorkThread&) = delete;
    WorkThread& operator=(const WorkThread&) = delete;

    bool Started() const { return m_handle != 0; }

private:
    static void Enter(WorkThread* self) { self->m_work(self->m_argument); }
#ifdef _WIN32
    static unsigned __stdcall Entry(void* self);
#else
    static void* Entry(void* self);
#endif

    void (*const m_work)(void*);
    void* const m_argument;
    uintptr_t m_handle = 0;
};
