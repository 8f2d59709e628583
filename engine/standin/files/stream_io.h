// Byte-level access to the engine's stream contract.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine_streams.h"

namespace standin {

// Reads an in-stream through a buffer that allows looking ahead. Reads
// never pass a zero length to the stream (that would end it); an answer
// of 0, a negative one or more than was asked counts as the end.
class StreamReader {
 public:
  explicit StreamReader(GIPSVEInStream* stream) : stream_(stream) {}

  // Copies up to `count` bytes; fewer only at the end of the data.
  std::size_t Read(void* data, std::size_t count);
  // The next bytes, up to `count`, without consuming them.
  std::span<const std::uint8_t> Peek(std::size_t count);
  void Skip(std::size_t count);

 private:
  // Buffers until `count` bytes are waiting or the stream has ended.
  void Fill(std::size_t count);

  GIPSVEInStream* stream_;
  std::vector<std::uint8_t> buffer_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

// Writes all `size` bytes in as many calls as needed; false when the
// stream refuses. Nothing is written for `size` 0.
bool WriteAll(GIPSVEOutStream* stream, const void* data, std::size_t size);

}  // namespace standin
