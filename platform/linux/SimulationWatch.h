#pragma once
// The process's one inotify instance: it follows the simulation file and its folder for both
// the drive map's cache and the window's device notices. The kernel tears each instance down
// after a grace period when the process ends, so a second instance would double the cost of
// every exit.

#include <functional>

namespace platform::linux_detail {

// Readable while a change waits; -1 without a watch (no simulation, or inotify refused).
int SimulationWatchDescriptor();

// Reads the waiting changes. Whoever reads them runs the change hook: a drive lookup reads
// them too, so a watcher that waits on the descriptor misses none.
void ReadSimulationChanges();

// Runs, under the drive map's lock, whenever changes were read; it must not call back into
// the drive map. Empty: none.
void SetSimulationChangeHook(std::function<void()> hook);

} // namespace platform::linux_detail
