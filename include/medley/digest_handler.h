// Digest access responses (RFC 2617, MD5, qop "auth").
//
// The host hands the challenge through mAuthHeader and receives the
// computed values through mAuthResponse; both are implemented by the host
// over its own fields (the base classes answer null, 0 or false and ignore
// what they are given). cDigestHandler keeps the nonce count between
// responses, so successive responses to one challenge carry increasing
// counts.
//
// Calling order: construct, Initialize once, then for each challenge
// Consume followed by one GenerateResponse per request that is to carry
// credentials.
#pragma once

#include <cstdint>

#include "medley/export.h"
#include "medley/hash_engine.h"
#include "medley/random.h"

class MEDLEY_API mAuthHeader {
 public:
  virtual ~mAuthHeader();
  virtual const char* GetRealm();
  virtual const char* GetNonce();
  virtual const char* GetDomain();  // not used by the digest
  virtual const char* GetOpaque();
  virtual const char* GetAlgorithm();  // not used by the digest
  virtual const char* GetUserName();
  virtual const char* GetPassword();
  virtual const char* GetMethod();
  virtual const char* GetDigestUri();
  virtual std::int32_t GetHeaderKind();  // not used by the digest
  // 0 none, 1 auth, 2 auth-int.
  virtual std::int32_t GetQop();
  virtual bool IsStale();  // not used by the digest
};

class MEDLEY_API mAuthResponse {
 public:
  virtual ~mAuthResponse();
  virtual void SetUserName(const char* value);
  virtual void SetRealm(const char* value);
  virtual void SetNonce(const char* value);
  virtual void SetDigestUri(const char* value);
  virtual void SetAlgorithm(const char* value);  // not used by the digest
  virtual void SetNonceCount(const char* value);
  virtual void SetCnonce(const char* value);
  virtual void SetResponse(const char* value);
  virtual void SetOpaque(const char* value);
  virtual void SetQop(const char* value);  // not used by the digest
};

class MEDLEY_API cDigestHandler {
 public:
  cDigestHandler();
  // Deletes neither the challenge nor the sink.
  ~cDigestHandler();
  cDigestHandler(const cDigestHandler&) = delete;
  cDigestHandler& operator=(const cDigestHandler&) = delete;

  // Stores the sink and prepares the MD5 engine; false when that fails (the
  // handler is then unusable).
  bool Initialize(mAuthResponse* sink);
  // Makes `challenge` current. `resetCount` restarts the nonce count at 1;
  // `deleteOld` deletes the challenge held before.
  void Consume(mAuthHeader* challenge, bool resetCount, bool deleteOld);
  // Computes HA1 = MD5(user:realm:password), HA2 = MD5(method:URI) and
  // response = MD5(HA1:nonce:nc:cnonce:auth:HA2) and delivers nc, cnonce and
  // response to the sink, in that order. Nothing is delivered without a
  // challenge, with a null realm or nonce, or with qop 0 or 2. Inputs of any
  // length are hashed whole. Always returns null.
  const mAuthResponse* GenerateResponse();

 private:
  void HashParts(const char* const* parts, int count, char* hex);

  mAuthHeader* challenge_;
  mAuthResponse* sink_;
  cHashEngine hash_;
  cRandomUtils random_;
  std::uint32_t nonceCount_;
  char scratch_[512];  // the first bytes of the text being hashed
  char ha1_[48];
  char ha2_[48];
  char response_[48];
};
