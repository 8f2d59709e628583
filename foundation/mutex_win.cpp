// cMutex over an unnamed Windows mutex.
#include "medley/com_base.h"
#include "medley/mutex.h"

cMutex::cMutex() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}

cMutex::~cMutex() {
  if (handle_) CloseHandle(handle_);
}

void cMutex::Lock() {
  if (handle_) WaitForSingleObject(handle_, INFINITE);
}

bool cMutex::TryLock() {
  if (!handle_) return false;
  const DWORD result = WaitForSingleObject(handle_, 0);
  if (result == WAIT_OBJECT_0) return true;
  // Acquired only because the owner ended: report failure and let it go.
  if (result == WAIT_ABANDONED) ReleaseMutex(handle_);
  return false;
}

void cMutex::Unlock() {
  if (handle_) ReleaseMutex(handle_);
}
