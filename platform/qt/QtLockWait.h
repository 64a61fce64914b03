#pragma once

namespace platform {

// While a save waits for another program's save lock, the window goes on painting and
// receiving device notices; the user's clicks and keys wait until the save is over.
void InstallQtLockWait();

} // namespace platform
