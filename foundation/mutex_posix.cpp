// cMutex over a recursive, robust POSIX mutex. Robustness gives the
// abandonment that Windows mutexes report: a thread that ends while owning
// the mutex leaves it to the next waiter.
#include <pthread.h>

#include <cerrno>
#include <new>

#include "medley/mutex.h"

namespace {

pthread_mutex_t* Native(void* handle) { return static_cast<pthread_mutex_t*>(handle); }

}  // namespace

cMutex::cMutex() : handle_(nullptr) {
  auto* mutex = new (std::nothrow) pthread_mutex_t;
  if (!mutex) return;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  if (pthread_mutex_init(mutex, &attributes) == 0) {
    handle_ = mutex;
  } else {
    delete mutex;
  }
  pthread_mutexattr_destroy(&attributes);
}

cMutex::~cMutex() {
  if (!handle_) return;
  pthread_mutex_destroy(Native(handle_));
  delete Native(handle_);
}

void cMutex::Lock() {
  if (!handle_) return;
  // An abandoned mutex is owned by the caller from here on, as on Windows.
  if (pthread_mutex_lock(Native(handle_)) == EOWNERDEAD) pthread_mutex_consistent(Native(handle_));
}

bool cMutex::TryLock() {
  if (!handle_) return false;
  const int result = pthread_mutex_trylock(Native(handle_));
  if (result == 0) return true;
  if (result == EOWNERDEAD) {
    // Acquired only because the owner ended: report failure and let it go.
    pthread_mutex_consistent(Native(handle_));
    pthread_mutex_unlock(Native(handle_));
  }
  return false;
}

void cMutex::Unlock() {
  if (handle_) pthread_mutex_unlock(Native(handle_));
}
