// The hashing front cHashEngine and the MD5 and SHA-1 engines behind it.
#include "medley/hash_engine.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/file_open.h"

namespace {

void WriteHex(const unsigned char* bytes, unsigned count, char* text) {
  static const char kDigits[] = "0123456789abcdef";
  for (unsigned i = 0; i < count; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  text[2 * count] = '\0';
}

// The five SHA-1 words as 20 bytes, each most significant byte first.
void Sha1Bytes(const unsigned words[5], unsigned char bytes[20]) {
  for (int i = 0; i < 20; ++i)
    bytes[i] = static_cast<unsigned char>(words[i / 4] >> (24 - 8 * (i % 4)));
}

}  // namespace

mHashEngine::~mHashEngine() = default;

cHashEngine_MD5::cHashEngine_MD5() : state_{}, digest_{} { md5_init(&state_); }
cHashEngine_MD5::~cHashEngine_MD5() = default;
void cHashEngine_MD5::Reset() { md5_init(&state_); }
unsigned cHashEngine_MD5::HashSize() const { return 32; }

void cHashEngine_MD5::Consume(const char* data, unsigned length) {
  // md5_append takes a signed count: feed very long inputs in pieces.
  const auto* bytes = reinterpret_cast<const md5_byte_t*>(data);
  while (length > 0) {
    const unsigned piece = length > 0x40000000u ? 0x40000000u : length;
    md5_append(&state_, bytes, static_cast<int>(piece));
    bytes += piece;
    length -= piece;
  }
}

void cHashEngine_MD5::Output(char* text) {
  md5_finish(&state_, digest_);
  WriteHex(digest_, 16, text);
}

void cHashEngine_MD5::RawOutput(char* bytes) {
  md5_finish(&state_, digest_);
  std::memcpy(bytes, digest_, 16);
}

cHashEngine_SHA1::cHashEngine_SHA1() = default;
cHashEngine_SHA1::~cHashEngine_SHA1() = default;
void cHashEngine_SHA1::Reset() { sha1_.Reset(); }
unsigned cHashEngine_SHA1::HashSize() const { return 40; }
void cHashEngine_SHA1::Consume(const char* data, unsigned length) { sha1_.Input(data, length); }

void cHashEngine_SHA1::Output(char* text) {
  unsigned words[5] = {};
  sha1_.Result(words);
  unsigned char bytes[20];
  Sha1Bytes(words, bytes);
  WriteHex(bytes, 20, text);
}

void cHashEngine_SHA1::RawOutput(char* bytes) {
  unsigned words[5] = {};
  sha1_.Result(words);
  Sha1Bytes(words, reinterpret_cast<unsigned char*>(bytes));
}

cHashEngine::cHashEngine() : engine_(nullptr) {}

cHashEngine::~cHashEngine() { delete engine_; }

bool cHashEngine::Initialize(hash_type_t type) {
  mHashEngine* created = nullptr;
  if (type == HASH_MD5) {
    created = new (std::nothrow) cHashEngine_MD5;
  } else if (type == HASH_SHA1) {
    created = new (std::nothrow) cHashEngine_SHA1;
  }
  if (created) {
    delete engine_;
    engine_ = created;
  }
  return engine_ != nullptr;
}

bool cHashEngine::Initialize(const char* name) {
  const hash_type_t type = ParseHashType(name);
  return type != HASH_NONE && Initialize(type);
}

hash_type_t cHashEngine::ParseHashType(const char* name) {
  if (!name) return HASH_NONE;
  static const char* const kMd5[] = {"md5", "MD5", "Md5", "mD5", "md-5", "mD-5", "Md-5", "MD-5"};
  static const char* const kSha1[] = {"sha1", "SHA1", "sha-1", "SHA-1"};
  for (const char* spelling : kMd5) {
    if (std::strcmp(name, spelling) == 0) return HASH_MD5;
  }
  for (const char* spelling : kSha1) {
    if (std::strcmp(name, spelling) == 0) return HASH_SHA1;
  }
  return HASH_NONE;
}

const char* cHashEngine::NameHashType(hash_type_t type) {
  switch (type) {
    case HASH_SHA1:
      return "sha-1";
    case HASH_MD5:
      return "md5";
    default:
      return nullptr;
  }
}

void cHashEngine::Reset() {
  if (engine_) engine_->Reset();
}

void cHashEngine::Consume(const char* data, unsigned length) {
  if (engine_) engine_->Consume(data, length);
}

unsigned cHashEngine::HashSize() const { return engine_ ? engine_->HashSize() : 0; }

void cHashEngine::Output(char* text) {
  if (engine_) engine_->Output(text);
}

void cHashEngine::RawOutput(char* bytes) {
  if (engine_) engine_->RawOutput(bytes);
}

bool cHashEngine::HashFile(const char* path, unsigned* bytes, char* text) {
  if (!engine_ || !path) return false;
  std::FILE* file = OpenFileForHashing(path);
  if (!file) return false;
  if (bytes) *bytes = 0;
  char piece[1024];
  for (;;) {
    const std::size_t got = std::fread(piece, 1, sizeof piece, file);
    if (got == 0) break;
    if (bytes) *bytes += static_cast<unsigned>(got);
    engine_->Consume(piece, static_cast<unsigned>(got));
  }
  char digest[48];
  engine_->Output(text ? text : digest);
  std::fclose(file);
  return true;
}
