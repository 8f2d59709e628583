#include "medley/mutex.h"

mLockable::~mLockable() = default;

cScopedLock::cScopedLock(mLockable& lock) : lock_(lock) { lock_.Lock(); }

cScopedLock::~cScopedLock() { lock_.Unlock(); }
