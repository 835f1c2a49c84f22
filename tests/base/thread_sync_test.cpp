// The thread primitives: a lock that excludes, conditions that wake their
// waiters, a thread that runs its work and is joined by its destructor.
#include "base/thread_sync.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Counted {
    ThreadLock lock;
    long count = 0;  // guarded by lock
};

void CountUnderTheLock(void* argument) {
    Counted& counted = *static_cast<Counted*>(argument);
    for (int i = 0; i < 20000; ++i) {
        ThreadHold hold(counted.lock);
        ++counted.count;
    }
}

TEST(ThreadLock, ExcludesAndWorkThreadsAreJoinedByTheirEnd) {
    Counted counted;
    {
        std::vector<std::unique_ptr<WorkThread>> threads;
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back(new WorkThread(&CountUnderTheLock, &counted));
            ASSERT_TRUE(threads.back()->Started());
        }
    }  // joined here
    EXPECT_EQ(counted.count, 4 * 20000);
}

// Two threads pass a number back and forth, each waiting for its own
// condition: every hand-over is seen, none is lost to a wake-up that came
// before the wait.
struct Relay {
    ThreadLock lock;
    int value = 0;  // guarded by lock: odd for the worker to answer, even for the owner
    ThreadCondition toWorker{lock};
    ThreadCondition toOwner{lock};
    int answered = 0;  // the worker's alone
};

void Answer(void* argument) {
    Relay& relay = *static_cast<Relay*>(argument);
    ThreadHold hold(relay.lock);
    while (relay.value < 1000) {
        while (relay.value % 2 == 0) relay.toWorker.Wait();
        {
            ThreadRelease unlocked(relay.lock);  // work done without the lock
            ++relay.answered;
        }
        ++relay.value;
        relay.toOwner.WakeAll();
    }
}

TEST(ThreadCondition, WakesItsWaiterForEveryChange) {
    Relay relay;
    WorkThread worker(&Answer, &relay);
    ASSERT_TRUE(worker.Started());
    ThreadHold hold(relay.lock);
    while (relay.value < 1000) {
        ++relay.value;
        relay.toWorker.WakeAll();
        while (relay.value % 2 == 1) relay.toOwner.Wait();
    }
    EXPECT_EQ(relay.value, 1000);
    EXPECT_EQ(relay.answered, 500);
}

}  // namespace
