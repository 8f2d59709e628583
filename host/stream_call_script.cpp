#include "host/stream_call_script.h"

#include <utility>

namespace host {

void StreamCallScript::SimulateError(HRESULT code, int successesFirst) {
  std::lock_guard lock(mutex_);
  error_ = code;
  successesBeforeError_ = successesFirst;
}

void StreamCallScript::SetHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void StreamCallScript::EndCall() {
  std::lock_guard lock(mutex_);
  if (endCalls_ > 0) ++callsAfterEnd_;
  ++endCalls_;
}

HRESULT StreamCallScript::DataCall() {
  std::function<void()> hook;
  bool endedBefore = false;
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
    endedBefore = endCalls_ > 0;
  }
  if (hook) hook();
  std::lock_guard lock(mutex_);
  ++dataCalls_;
  if (endedBefore) ++callsAfterEnd_;
  if (error_ != S_OK) {
    if (successesBeforeError_ == 0) return error_;
    --successesBeforeError_;
  }
  return S_OK;
}

int StreamCallScript::DataCalls() const {
  std::lock_guard lock(mutex_);
  return dataCalls_;
}

int StreamCallScript::EndCalls() const {
  std::lock_guard lock(mutex_);
  return endCalls_;
}

int StreamCallScript::CallsAfterEnd() const {
  std::lock_guard lock(mutex_);
  return callsAfterEnd_;
}

}  // namespace host
