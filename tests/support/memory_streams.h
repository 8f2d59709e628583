// Engine streams over memory, for tests that hand streams to an engine.
#pragma once

#include <algorithm>
#include <cstdint>
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

// An endless stream: `head` once, then `unit` over and over. Counts the
// bytes it has handed out.
class EndlessInStream final : public GIPSVEInStream {
 public:
  EndlessInStream(std::string head, std::string unit)
      : head_(std::move(head)), unit_(std::move(unit)) {}
  int Read(void* buffer, int length) override {
    auto* out = static_cast<char*>(buffer);
    for (int i = 0; i < length; ++i, ++delivered)
      out[i] = delivered < head_.size() ? head_[delivered]
                                        : unit_[(delivered - head_.size()) % unit_.size()];
    return length;
  }
  int Rewind() override { return -1; }

  std::uint64_t delivered = 0;

 private:
  std::string head_;
  std::string unit_;
};
