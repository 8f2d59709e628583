// The reference count of one engine interface: GetInterface adds one,
// Release gives one back. The engine can only be deleted when every count
// is back at zero.
#pragma once

namespace standin {

class InterfaceReference {
 public:
  void Acquire() { ++count_; }
  // The references left, or -1 when none was held.
  int Release() { return count_ == 0 ? -1 : --count_; }
  int Count() const { return count_; }

 private:
  int count_ = 0;
};

}  // namespace standin
