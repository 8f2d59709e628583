// What the memory source and sink share for tests: counting data and end
// calls, failing data calls on demand, and running a hook inside a data call
// (to stop the stream from there). Thread-safe.
#pragma once

#include <functional>
#include <mutex>

#include "medley/com_base.h"

namespace host {

class StreamCallScript {
 public:
  // Data calls answer `code` after `successesFirst` that still succeed.
  // S_OK removes the failure.
  void SimulateError(HRESULT code, int successesFirst);
  // Runs at the start of every data call, with no lock held.
  void SetHook(std::function<void()> hook);

  // Counts an end call (null data, count 0).
  void EndCall();
  // Runs the hook, counts a data call and answers the arranged failure or
  // S_OK. A stop from inside the hook counts only for later calls.
  HRESULT DataCall();

  int DataCalls() const;
  int EndCalls() const;
  // Calls of any kind that came after the first end call.
  int CallsAfterEnd() const;

 private:
  mutable std::mutex mutex_;
  HRESULT error_ = S_OK;
  int successesBeforeError_ = 0;
  std::function<void()> hook_;
  int dataCalls_ = 0;
  int endCalls_ = 0;
  int callsAfterEnd_ = 0;
};

}  // namespace host
