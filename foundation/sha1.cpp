// The SHA1 class: message buffering, length accounting and padding around
// the block compression of sha1_compress.
#include "medley/hash_engine.h"

#include <algorithm>
#include <cstring>

#include "foundation/sha1_compress.h"

SHA1::SHA1() { Reset(); }

SHA1::~SHA1() = default;

void SHA1::Reset() {
  lengthLow_ = 0;
  lengthHigh_ = 0;
  blockIndex_ = 0;
  digest_[0] = 0x67452301;
  digest_[1] = 0xEFCDAB89;
  digest_[2] = 0x98BADCFE;
  digest_[3] = 0x10325476;
  digest_[4] = 0xC3D2E1F0;
  std::memset(block_, 0, sizeof block_);
  finished_ = false;
  invalid_ = false;
}

void SHA1::ProcessBlocks(const unsigned char* blocks, std::uint32_t count) {
  sha1_compress::Active()(digest_, blocks, count);
}

void SHA1::Input(const unsigned char* data, unsigned length) {
  if (length == 0) return;
  if (finished_ || invalid_ || !data) {
    invalid_ = true;
    return;
  }
  // The bit length is a 64-bit count; bytes beyond 2^61 make the object invalid.
  const std::uint64_t bits = static_cast<std::uint64_t>(lengthHigh_) << 32 | lengthLow_;
  const std::uint64_t room = ~bits / 8;
  if (length > room) {
    invalid_ = true;
    length = static_cast<unsigned>(room);
  }
  const std::uint64_t total = bits + static_cast<std::uint64_t>(length) * 8;
  lengthLow_ = static_cast<std::uint32_t>(total);
  lengthHigh_ = static_cast<std::uint32_t>(total >> 32);

  if (blockIndex_ > 0) {
    const unsigned take = std::min<unsigned>(length, 64u - static_cast<unsigned>(blockIndex_));
    std::memcpy(block_ + blockIndex_, data, take);
    blockIndex_ += static_cast<std::int32_t>(take);
    data += take;
    length -= take;
    if (blockIndex_ < 64) return;
    ProcessBlocks(block_, 1);
    blockIndex_ = 0;
  }
  if (length >= 64) {
    ProcessBlocks(data, length / 64);
    data += length & ~63u;
    length &= 63u;
  }
  if (length > 0) {
    std::memcpy(block_, data, length);
    blockIndex_ = static_cast<std::int32_t>(length);
  }
}

void SHA1::Input(const char* data, unsigned length) {
  Input(reinterpret_cast<const unsigned char*>(data), length);
}

void SHA1::Input(unsigned char byte) { Input(&byte, 1); }

void SHA1::Input(char byte) { Input(reinterpret_cast<const unsigned char*>(&byte), 1); }

SHA1& SHA1::operator<<(const char* text) {
  if (text) Input(text, static_cast<unsigned>(std::strlen(text)));
  return *this;
}

SHA1& SHA1::operator<<(const unsigned char* text) {
  return *this << reinterpret_cast<const char*>(text);
}

SHA1& SHA1::operator<<(char byte) {
  Input(byte);
  return *this;
}

SHA1& SHA1::operator<<(unsigned char byte) {
  Input(byte);
  return *this;
}

void SHA1::PadMessage() {
  block_[blockIndex_++] = 0x80;
  if (blockIndex_ > 56) {
    std::memset(block_ + blockIndex_, 0, 64 - static_cast<unsigned>(blockIndex_));
    ProcessBlocks(block_, 1);
    blockIndex_ = 0;
  }
  std::memset(block_ + blockIndex_, 0, 56 - static_cast<unsigned>(blockIndex_));
  for (int i = 0; i < 4; ++i) {
    block_[56 + i] = static_cast<unsigned char>(lengthHigh_ >> (24 - 8 * i));
    block_[60 + i] = static_cast<unsigned char>(lengthLow_ >> (24 - 8 * i));
  }
  ProcessBlocks(block_, 1);
  blockIndex_ = 0;
}

bool SHA1::Result(unsigned* digest) {
  if (invalid_ || !digest) return false;
  if (!finished_) {
    PadMessage();
    finished_ = true;
  }
  for (int i = 0; i < 5; ++i) digest[i] = digest_[i];
  return true;
}
