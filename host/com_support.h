// Helpers shared by the reference host's COM objects: the exception guard of
// every COM method, BSTR out-parameters and the atomic reference count.
#pragma once

#include <atomic>
#include <new>
#include <stdexcept>

#include "medley/com_base.h"
#include "platform/com_call_guard.h"
#include "platform/wide_text.h"

namespace host {

// No exception leaves a COM method of the reference host either.
using platform::GuardComCall;

// Stores a new BSTR holding `text` at *out; the caller frees it.
// E_POINTER for a null `out`, E_OUTOFMEMORY (and *out null) when allocation fails.
HRESULT CopyToBstr(platform::OleStringView text, BSTR* out) noexcept;

// Sets every non-null out-pointer to null (or zero) and answers whether all
// of them were non-null, so a method can clear its outputs before checking.
template <class... Out>
bool ClearOutputs(Out*... outs) noexcept {
  ((outs ? void(*outs = Out{}) : void()), ...);
  return ((outs != nullptr) && ...);
}

// A reference count that several threads may change at once. It starts at 1:
// the creator holds the first reference.
class RefCount {
 public:
  RefCount() = default;
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  ULONG Increment() noexcept { return ++count_; }
  ULONG Decrement() noexcept { return --count_; }

 private:
  std::atomic<ULONG> count_{1};
};

}  // namespace host
