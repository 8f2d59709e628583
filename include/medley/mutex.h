// The foundation library's lock primitive behind the lock interface
// mLockable, and a scoped lock over any mLockable.
//
// cMutex is recursive: the owning thread may lock it again, and each Lock
// (or successful TryLock) needs its own Unlock. It may be used from any
// thread; ownership belongs to a thread.
#pragma once

#include "medley/export.h"

class MEDLEY_API mLockable {
 public:
  virtual ~mLockable();
  // Waits without time limit until the calling thread owns the lock.
  virtual void Lock() = 0;
  // Takes the lock only if that needs no waiting; true when taken.
  virtual bool TryLock() = 0;
  // Releases one ownership.
  virtual void Unlock() = 0;
};

class MEDLEY_API cMutex : public mLockable {
 public:
  // Creates an unnamed operating-system mutex, not owned. If that fails the
  // handle stays null: Lock then returns at once and TryLock gives false.
  cMutex();
  ~cMutex() override;
  cMutex(const cMutex&) = delete;
  cMutex& operator=(const cMutex&) = delete;

  void Lock() override;
  // False when the mutex is held by another thread, when its previous owner
  // ended without releasing it (that abandonment is cleared), or on failure.
  bool TryLock() override;
  void Unlock() override;

 private:
  void* handle_;  // the operating system's mutex
};

// Holds an mLockable from construction to destruction.
class MEDLEY_API cScopedLock {
 public:
  explicit cScopedLock(mLockable& lock);
  ~cScopedLock();
  cScopedLock(const cScopedLock&) = delete;
  cScopedLock& operator=(const cScopedLock&) = delete;

 private:
  mLockable& lock_;
};
