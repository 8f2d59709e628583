#include "engine/standin/files/stream_io.h"

#include <algorithm>
#include <cstring>

namespace standin {
namespace {

constexpr std::size_t kChunkBytes = 4096;
constexpr std::size_t kLargestWrite = 1 << 20;

}  // namespace

void StreamReader::Fill(std::size_t count) {
  if (buffer_.size() - position_ >= count) return;
  // Drop what was consumed before buffering more, so the buffer stays small.
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(position_));
  position_ = 0;
  while (!ended_ && buffer_.size() - position_ < count) {
    std::size_t start = buffer_.size();
    std::size_t want = std::max(kChunkBytes, count - (start - position_));
    buffer_.resize(start + want);
    int got = stream_->Read(buffer_.data() + start, static_cast<int>(want));
    if (got <= 0 || static_cast<std::size_t>(got) > want) {
      ended_ = true;
      got = 0;
    }
    buffer_.resize(start + static_cast<std::size_t>(got));
  }
}

std::size_t StreamReader::Read(void* data, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(data);
  std::size_t copied = 0;
  while (copied < count) {
    Fill(std::min(count - copied, kChunkBytes));
    std::size_t ready = std::min(count - copied, buffer_.size() - position_);
    if (ready == 0) break;
    std::memcpy(out + copied, buffer_.data() + position_, ready);
    position_ += ready;
    copied += ready;
  }
  return copied;
}

std::span<const std::uint8_t> StreamReader::Peek(std::size_t count) {
  Fill(count);
  return {buffer_.data() + position_, std::min(count, buffer_.size() - position_)};
}

void StreamReader::Skip(std::size_t count) {
  while (count > 0) {
    Fill(std::min(count, kChunkBytes));
    std::size_t ready = std::min(count, buffer_.size() - position_);
    if (ready == 0) return;
    position_ += ready;
    count -= ready;
  }
}

bool WriteAll(GIPSVEOutStream* stream, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    std::size_t part = std::min(size, kLargestWrite);
    if (!stream->Write(bytes, static_cast<int>(part))) return false;
    bytes += part;
    size -= part;
  }
  return true;
}

}  // namespace standin
