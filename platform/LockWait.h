#pragma once
// A bounded wait for a save lock that another program may hold, shared by both platforms'
// ReplaceFile.

#include <chrono>
#include <functional>
#include <optional>

namespace platform::detail {

enum class LockWait {
    Taken,       // the caller holds the lock now
    Busy,        // someone else held it for the whole patience
    Unavailable, // no such lock here (a file system without locks): go on without it
};

// One try that waits at most slice for the lock: true when taken, false when still held by
// someone else, nullopt when the lock cannot be had at all.
using LockTry = std::function<std::optional<bool>(std::chrono::milliseconds slice)>;

// Tries until the lock is taken or the replacement's patience has run out, running the
// installed wait hook between tries.
LockWait WaitForLock(const LockTry& attempt);

} // namespace platform::detail
