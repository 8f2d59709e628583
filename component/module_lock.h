// The module's lock count: each live object, each reference to the class
// factory and each LockServer(TRUE) holds one. DllCanUnloadNow answers S_OK
// only at zero. Thread-safe.
#pragma once

#include "medley/com_base.h"

namespace component {

void LockModule();
// Does nothing at zero, so a host's unmatched LockServer(FALSE) cannot make
// the count wrap and keep the module loaded forever.
void UnlockModule();
LONG ModuleLockCount();

// Holds one lock for its lifetime.
class ScopedModuleLock {
 public:
  ScopedModuleLock() { LockModule(); }
  ~ScopedModuleLock() { UnlockModule(); }
  ScopedModuleLock(const ScopedModuleLock&) = delete;
  ScopedModuleLock& operator=(const ScopedModuleLock&) = delete;
};

}  // namespace component
