// The little the installer needs to run work on threads of its own: a lock,
// conditions to wait for under it, and starting and joining a thread.
// On Windows these are the system's slim reader/writer lock and condition
// variable (Windows Vista and later, looked up at run time): waiting and
// waking cost no call to the system while nobody waits, and under Wine no
// round trip to its server at all. Where they are missing (Windows XP) no
// thread is started and the work is done where it is asked for; the lock
// and the conditions then do nothing. Win32-free interface; natively POSIX
// threads.
//
// Threads: every member may be called from any thread, as each says. The
// classes that use them (LaterClose, OverlappedSink, PayloadPrefetch,
// Medium::StreamHold) write down which lock guards which field and in what
// order locks are taken.
#pragma once

#include <cstdint>

// A lock, not recursive: a thread that holds it never acquires it again.
class ThreadLock {
public:
    ThreadLock();
    ~ThreadLock();
    ThreadLock(const ThreadLock&) = delete;
    ThreadLock& operator=(const ThreadLock&) = delete;

    void Acquire();
    void Release();

private:
    friend class ThreadCondition;
    // The system's lock (a pointer on Windows, a pthread mutex elsewhere).
    alignas(8) unsigned char m_storage[64];
};

// Something a thread waits for under a ThreadLock: one condition per kind
// of waiter, so that a change wakes only those it concerns. The waiter tests
// its condition under the lock and waits again while it does not hold
// (wake-ups may come without a change); whoever changes what it tests does
// so under the lock and calls WakeAll.
class ThreadCondition {
public:
    explicit ThreadCondition(ThreadLock& lock);
    ~ThreadCondition();
    ThreadCondition(const ThreadCondition&) = delete;
    ThreadCondition& operator=(const ThreadCondition&) = delete;

    // With the lock held: releases it, waits for WakeAll, and acquires it
    // again.
    void Wait();
    // Wakes every thread waiting for this condition (none waiting: costs
    // next to nothing).
    void WakeAll();

private:
    ThreadLock& m_lock;
    // The system's condition variable (a pointer on Windows, a pthread
    // condition elsewhere).
    alignas(8) unsigned char m_storage[64];
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

// Lets go of a ThreadLock the thread holds for its own lifetime, for work
// done without it (a read, a decode), and takes it again.
class ThreadRelease {
public:
    explicit ThreadRelease(ThreadLock& lock) : m_lock(lock) { m_lock.Release(); }
    ~ThreadRelease() { m_lock.Acquire(); }
    ThreadRelease(const ThreadRelease&) = delete;
    ThreadRelease& operator=(const ThreadRelease&) = delete;

private:
    ThreadLock& m_lock;
};

// A thread running |work|(|argument|); Started() is false when it could not
// be started (or threads are not available), and then |work| never runs.
// Made and destroyed by one thread, its owner; |work| sees everything the
// owner wrote before making it, and the owner everything |work| wrote once
// the destructor has returned.
class WorkThread {
public:
    WorkThread(void (*work)(void*), void* argument);
    // Waits for the thread to end: the owner first tells |work| to return
    // (under the lock |work| waits with).
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
