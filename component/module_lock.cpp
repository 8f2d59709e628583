#include "component/module_lock.h"

#include <atomic>

namespace component {

namespace {

constinit std::atomic<LONG> lockCount{0};

}  // namespace

void LockModule() { ++lockCount; }

void UnlockModule() {
  LONG count = lockCount.load();
  while (count > 0 && !lockCount.compare_exchange_weak(count, count - 1)) {
  }
}

LONG ModuleLockCount() { return lockCount.load(); }

}  // namespace component
