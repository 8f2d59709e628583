// The hashing front: cHashEngine selects MD5 or SHA-1 by type or name, then
// consumes bytes and delivers the digest as lowercase hexadecimal text or as
// raw bytes. The engines behind it implement mHashEngine.
//
// Engines are used by one thread at a time. A new message starts with Reset;
// feeding or asking for output again after an output, without Reset, is not
// supported. The digests themselves come from two self-contained
// implementations the engines wrap: the md5_* functions and the SHA1 class.
#pragma once

#include <cstdint>

#include "medley/export.h"

// MD5 (RFC 1321) over a caller-held state record: md5_init, then any number
// of md5_append calls, then md5_finish for the 16-byte digest. A new message
// starts with md5_init again.
typedef unsigned char md5_byte_t;
typedef unsigned int md5_word_t;

typedef struct md5_state_s {
  md5_word_t count[2];  // message length in bits, low word first
  md5_word_t abcd[4];   // chaining state
  md5_byte_t buf[64];   // partial input block
} md5_state_t;

// Bit count 0, chaining words to the standard initial values.
MEDLEY_API void md5_init(md5_state_t* pms);
// Feeds `nbytes` bytes; a count of 0 or less does nothing.
MEDLEY_API void md5_append(md5_state_t* pms, const md5_byte_t* data, int nbytes);
// Pads, appends the 64-bit little-endian bit count and writes the digest
// (chaining words in little-endian order). The state stays padded.
MEDLEY_API void md5_finish(md5_state_t* pms, md5_byte_t digest[16]);

// SHA-1 (FIPS 180-1) as a class: Reset, Input bytes, Result for the five
// chaining words. After Result the object is finished: further Input marks
// it invalid, and Result then fails until Reset. The compression uses the
// processor's SHA extensions when it has them (checked once at run time) and
// portable code otherwise; both give the same digests.
class MEDLEY_API SHA1 {
 public:
  SHA1();
  virtual ~SHA1();

  void Reset();

  void Input(const unsigned char* data, unsigned length);
  void Input(const char* data, unsigned length);
  void Input(unsigned char byte);
  void Input(char byte);

  // The bytes of a NUL-terminated text (without the NUL), or one byte.
  SHA1& operator<<(const char* text);
  SHA1& operator<<(const unsigned char* text);
  SHA1& operator<<(char byte);
  SHA1& operator<<(unsigned char byte);

  // Finishes the message (once) and copies the five chaining words into
  // `digest`. False, with nothing written, when the object is invalid.
  bool Result(unsigned* digest);

 private:
  void ProcessBlocks(const unsigned char* blocks, std::uint32_t count);
  void PadMessage();

  std::uint32_t digest_[5];
  std::uint32_t lengthLow_;   // message length in bits, low word
  std::uint32_t lengthHigh_;  // and high word
  unsigned char block_[64];
  std::int32_t blockIndex_;
  bool finished_;
  bool invalid_;
};

enum hash_type_t {
  HASH_NONE = 0,
  HASH_SHA1 = 1,
  HASH_MD5 = 2,
};

class MEDLEY_API mHashEngine {
 public:
  virtual ~mHashEngine();
  // Starts a new message.
  virtual void Reset() = 0;
  // Characters of the hexadecimal output (not the raw digest length).
  virtual unsigned HashSize() const = 0;
  virtual void Consume(const char* data, unsigned length) = 0;
  // Finishes and writes HashSize() hexadecimal characters and a NUL.
  virtual void Output(char* text) = 0;
  // Finishes and writes the raw digest (16 bytes for MD5, 20 for SHA-1).
  virtual void RawOutput(char* bytes) = 0;
};

class MEDLEY_API cHashEngine_MD5 : public mHashEngine {
 public:
  cHashEngine_MD5();
  ~cHashEngine_MD5() override;
  void Reset() override;
  unsigned HashSize() const override;
  void Consume(const char* data, unsigned length) override;
  void Output(char* text) override;
  void RawOutput(char* bytes) override;

 private:
  md5_state_s state_;
  unsigned char digest_[16];
};

class MEDLEY_API cHashEngine_SHA1 : public mHashEngine {
 public:
  cHashEngine_SHA1();
  ~cHashEngine_SHA1() override;
  void Reset() override;
  unsigned HashSize() const override;
  void Consume(const char* data, unsigned length) override;
  void Output(char* text) override;
  void RawOutput(char* bytes) override;

 private:
  SHA1 sha1_;
};

class MEDLEY_API cHashEngine {
 public:
  cHashEngine();
  ~cHashEngine();
  cHashEngine(const cHashEngine&) = delete;
  cHashEngine& operator=(const cHashEngine&) = delete;

  // Creates the engine for HASH_MD5 or HASH_SHA1 (replacing one held
  // before); any other value changes nothing. True when an engine is held.
  bool Initialize(hash_type_t type);
  // By name (see ParseHashType); false, and nothing changed, for an unknown name.
  bool Initialize(const char* name);

  // "md5", "MD5", "Md5", "mD5", "md-5", "mD-5", "Md-5", "MD-5" give HASH_MD5;
  // "sha1", "SHA1", "sha-1", "SHA-1" give HASH_SHA1; anything else, and
  // null, HASH_NONE.
  static hash_type_t ParseHashType(const char* name);
  // "sha-1", "md5", or null.
  static const char* NameHashType(hash_type_t type);

  // Forwarded to the engine; an object without an engine does nothing.
  void Reset();
  void Consume(const char* data, unsigned length);
  unsigned HashSize() const;
  void Output(char* text);
  void RawOutput(char* bytes);

  // Consumes the whole file at `path` (binary) after whatever was consumed
  // before, stores the byte count in `*bytes` and the hexadecimal digest in
  // `text` (HashSize() + 1 bytes). False when the file cannot be opened.
  bool HashFile(const char* path, unsigned* bytes, char* text);

 private:
  mHashEngine* engine_;
};
