// Engine streams over memory, for tests that hand streams to an engine.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/engine_streams.h"

// Delivers `data` in reads of at most the asked length, then 0.
class MemoryInStream final : public GIPSVEInStream {
 public:
  explicit MemoryInStream(std::string data = {}) : data_(std::move(data)) {}

  int Read(void* buffer, int length) override {
    size_t count = std::min(data_.size() - position_, static_cast<size_t>(std::max(length, 0)));
    if (count > 0) std::memcpy(buffer, data_.data() + position_, count);
    position_ += count;
    return static_cast<int>(count);
  }
  int Rewind() override { return -1; }

 private:
  std::string data_;
  size_t position_ = 0;
};

// Collects what is written; refuses writes once `refuse` is set.
class MemoryOutStream final : public GIPSVEOutStream {
 public:
  bool Write(const void* data, int length) override {
    if (refuse) return false;
    if (length > 0) written.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return true;
  }
  int Rewind() override { return -1; }

  std::string written;
  bool refuse = false;
};
