#include "base/thread_sync.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <process.h>

namespace {

struct SyncFunctions {
    void(WINAPI* acquire)(void**) = nullptr;  // AcquireSRWLockExclusive
    void(WINAPI* release)(void**) = nullptr;  // ReleaseSRWLockExclusive
    BOOL(WINAPI* sleep)(void**, void**, DWORD, ULONG) = nullptr;  // SleepConditionVariableSRW
    void(WINAPI* wakeAll)(void**) = nullptr;  // WakeAllConditionVariable
    bool present = false;
};

template <class Function>
void Find(HMODULE kernel, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

const SyncFunctions& Sync() {
    static const SyncFunctions functions = [] {
        SyncFunctions found;
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        Find(kernel, "AcquireSRWLockExclusive", found.acquire);
        Find(kernel, "ReleaseSRWLockExclusive", found.release);
        Find(kernel, "SleepConditionVariableSRW", found.sleep);
        Find(kernel, "WakeAllConditionVariable", found.wakeAll);
        found.present = found.acquire && found.release && found.sleep && found.wakeAll;
        return found;
    }();
    return functions;
}

}  // namespace

// The slim reader/writer lock and the condition variable are one pointer
// each, ready when zero.
#define SLOT(storage) reinterpret_cast<void**>(storage)

ThreadLock::ThreadLock() {
    std::memset(m_storage, 0, sizeof m_storage);
    Sync();  // looked up before any thread of ours runs
}

ThreadLock::~ThreadLock() = default;

// Without the functions no thread runs: there is nothing to lock against.
void ThreadLock::Acquire() {
    if (Sync().present) Sync().acquire(SLOT(m_storage));
}

void ThreadLock::Release() {
    if (Sync().present) Sync().release(SLOT(m_storage));
}

ThreadCondition::ThreadCondition(ThreadLock& lock) : m_lock(lock) { std::memset(m_storage, 0, sizeof m_storage); }

ThreadCondition::~ThreadCondition() = default;

void ThreadCondition::Wait() {
    if (Sync().present) Sync().sleep(SLOT(m_storage), SLOT(m_lock.m_storage), INFINITE, 0);
}

void ThreadCondition::WakeAll() {
    if (Sync().present) Sync().wakeAll(SLOT(m_storage));
}

unsigned __stdcall WorkThread::Entry(void* self) {
    Enter(static_cast<WorkThread*>(self));
    return 0;
}

WorkThread::WorkThread(void (*work)(void*), void* argument) : m_work(work), m_argument(argument) {
    if (!Sync().present) return;
    // (_beginthreadex: the C runtime is used on the thread.)
    m_handle = _beginthreadex(nullptr, 0, &WorkThread::Entry, this, 0, nullptr);
}

WorkThread::~WorkThread() {
    if (!m_handle) return;
    WaitForSingleObject(reinterpret_cast<HANDLE>(m_handle), INFINITE);
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

#else
#include <pthread.h>

#define MUTEX reinterpret_cast<pthread_mutex_t*>(m_storage)
#define CONDITION reinterpret_cast<pthread_cond_t*>(m_storage)

ThreadLock::ThreadLock() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(m_storage), "room for the lock");
    pthread_mutex_init(MUTEX, nullptr);
}

ThreadLock::~ThreadLock() { pthread_mutex_destroy(MUTEX); }

void ThreadLock::Acquire() { pthread_mutex_lock(MUTEX); }
void ThreadLock::Release() { pthread_mutex_unlock(MUTEX); }

ThreadCondition::ThreadCondition(ThreadLock& lock) : m_lock(lock) {
    static_assert(sizeof(pthread_cond_t) <= sizeof(m_storage), "room for the condition");
    pthread_cond_init(CONDITION, nullptr);
}

ThreadCondition::~ThreadCondition() { pthread_cond_destroy(CONDITION); }

void ThreadCondition::Wait() {
    pthread_cond_wait(CONDITION, reinterpret_cast<pthread_mutex_t*>(m_lock.m_storage));
}
void ThreadCondition::WakeAll() { pthread_cond_broadcast(CONDITION); }

void* WorkThread::Entry(void* self) {
    Enter(static_cast<WorkThread*>(self));
    return nullptr;
}

WorkThread::WorkThread(void (*work)(void*), void* argument) : m_work(work), m_argument(argument) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &WorkThread::Entry, this) != 0) return;
    static_assert(sizeof(pthread_t) <= sizeof(m_handle), "a thread fits its handle");
    m_handle = static_cast<uintptr_t>(thread);
}

WorkThread::~WorkThread() {
    if (m_handle) pthread_join(static_cast<pthread_t>(m_handle), nullptr);
}
#endif
