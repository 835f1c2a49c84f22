#include "base/thread_sync.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <process.h>

namespace {

// A slim reader/writer lock and a condition variable: both are one pointer,
// ready when zero.
struct Parts {
    void* lock;
    void* condition;
};

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

#define PARTS reinterpret_cast<Parts*>(m_storage)

ThreadLock::ThreadLock() {
    static_assert(sizeof(Parts) <= sizeof(m_storage), "room for the lock");
    std::memset(m_storage, 0, sizeof m_storage);
    Sync();  // looked up before any thread of ours runs
}

ThreadLock::~ThreadLock() = default;

// Without the functions no thread runs: there is nothing to lock against.
void ThreadLock::Acquire() {
    if (Sync().present) Sync().acquire(&PARTS->lock);
}

void ThreadLock::Release() {
    if (Sync().present) Sync().release(&PARTS->lock);
}

void ThreadLock::Wait() {
    if (Sync().present) Sync().sleep(&PARTS->condition, &PARTS->lock, INFINITE, 0);
}

void ThreadLock::WakeAll() {
    if (Sync().present) Sync().wakeAll(&PARTS->condition);
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

namespace {

struct Parts {
    pthread_mutex_t lock;
    pthread_cond_t condition;
};

}  // namespace

#define PARTS reinterpret_cast<Parts*>(m_storage)

ThreadLock::ThreadLock() {
    static_assert(sizeof(Parts) <= sizeof(m_storage), "room for the lock");
    pthread_mutex_init(&PARTS->lock, nullptr);
    pthread_cond_init(&PARTS->condition, nullptr);
}

ThreadLock::~ThreadLock() {
    pthread_cond_destroy(&PARTS->condition);
    pthread_mutex_destroy(&PARTS->lock);
}

void ThreadLock::Acquire() { pthread_mutex_lock(&PARTS->lock); }
void ThreadLock::Release() { pthread_mutex_unlock(&PARTS->lock); }
void ThreadLock::Wait() { pthread_cond_wait(&PARTS->condition, &PARTS->lock); }
void ThreadLock::WakeAll() { pthread_cond_broadcast(&PARTS->condition); }

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
