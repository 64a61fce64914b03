#include "platform/LockWait.h"

#include "platform/Files.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace platform {
namespace {

// A lock held for a moment is taken soon; the longest slice is short enough that a window
// pumping its events between tries repaints smoothly.
constexpr std::chrono::milliseconds kFirstSlice{1};
constexpr std::chrono::milliseconds kLongestSlice{20};

std::mutex hookMutex;
LockWaitHook& Hook() {
    static LockWaitHook hook;
    return hook;
}

void RunHook() {
    LockWaitHook hook;
    {
        const std::lock_guard lock(hookMutex);
        hook = Hook();
    }
    if (hook) {
        hook();
    }
}

} // namespace

LockWaitHook SetLockWaitHook(LockWaitHook hook) {
    const std::lock_guard lock(hookMutex);
    return std::exchange(Hook(), std::move(hook));
}

namespace detail {

LockWait WaitForLock(const LockTry& attempt) {
    const auto deadline = std::chrono::steady_clock::now() + kReplaceLockPatience;
    for (auto slice = kFirstSlice;; slice = std::min(slice * 2, kLongestSlice)) {
        const std::optional<bool> taken = attempt(slice);
        if (!taken) {
            return LockWait::Unavailable;
        }
        if (*taken) {
            return LockWait::Taken;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return LockWait::Busy;
        }
        RunHook();
    }
}

} // namespace detail
} // namespace platform
