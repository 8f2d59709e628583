// cDigestHandler: RFC 2617 digest responses (MD5, qop "auth"), and the base
// classes of the accessor and sink interfaces the host implements.
#include "medley/digest_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

mAuthHeader::~mAuthHeader() = default;
const char* mAuthHeader::GetRealm() { return nullptr; }
const char* mAuthHeader::GetNonce() { return nullptr; }
const char* mAuthHeader::GetDomain() { return nullptr; }
const char* mAuthHeader::GetOpaque() { return nullptr; }
const char* mAuthHeader::GetAlgorithm() { return nullptr; }
const char* mAuthHeader::GetUserName() { return nullptr; }
const char* mAuthHeader::GetPassword() { return nullptr; }
const char* mAuthHeader::GetMethod() { return nullptr; }
const char* mAuthHeader::GetDigestUri() { return nullptr; }
std::int32_t mAuthHeader::GetHeaderKind() { return 0; }
std::int32_t mAuthHeader::GetQop() { return 0; }
bool mAuthHeader::IsStale() { return false; }

mAuthResponse::~mAuthResponse() = default;
void mAuthResponse::SetUserName(const char*) {}
void mAuthResponse::SetRealm(const char*) {}
void mAuthResponse::SetNonce(const char*) {}
void mAuthResponse::SetDigestUri(const char*) {}
void mAuthResponse::SetAlgorithm(const char*) {}
void mAuthResponse::SetNonceCount(const char*) {}
void mAuthResponse::SetCnonce(const char*) {}
void mAuthResponse::SetResponse(const char*) {}
void mAuthResponse::SetOpaque(const char*) {}
void mAuthResponse::SetQop(const char*) {}

namespace {

constexpr int kQopAuthInt = 2;
constexpr std::int32_t kCnonceDigits = 32;

}  // namespace

cDigestHandler::cDigestHandler()
    : challenge_(nullptr),
      sink_(nullptr),
      nonceCount_(1),
      scratch_{},
      ha1_{},
      ha2_{},
      response_{} {}

cDigestHandler::~cDigestHandler() = default;

bool cDigestHandler::Initialize(mAuthResponse* sink) {
  sink_ = sink;
  return hash_.Initialize("md5");
}

void cDigestHandler::Consume(mAuthHeader* challenge, bool resetCount, bool deleteOld) {
  if (resetCount) nonceCount_ = 1;
  if (deleteOld && challenge_ && challenge_ != challenge) delete challenge_;
  challenge_ = challenge;
}

// Hashes the parts joined by ':' and writes the hexadecimal digest to `hex`.
// The text passes through the scratch buffer in pieces, so parts of any
// length are hashed whole.
void cDigestHandler::HashParts(const char* const* parts, int count, char* hex) {
  hash_.Reset();
  std::size_t used = 0;
  auto put = [&](const char* text, std::size_t length) {
    while (length > 0) {
      if (used == sizeof scratch_) {
        hash_.Consume(scratch_, static_cast<unsigned>(used));
        used = 0;
      }
      const std::size_t piece = std::min(length, sizeof scratch_ - used);
      std::memcpy(scratch_ + used, text, piece);
      used += piece;
      text += piece;
      length -= piece;
    }
  };
  for (int i = 0; i < count; ++i) {
    if (i > 0) put(":", 1);
    put(parts[i], std::strlen(parts[i]));
  }
  hash_.Consume(scratch_, static_cast<unsigned>(used));
  hash_.Output(hex);
}

const mAuthResponse* cDigestHandler::GenerateResponse() {
  std::memset(scratch_, 0, sizeof scratch_);
  std::memset(ha1_, 0, sizeof ha1_);
  std::memset(ha2_, 0, sizeof ha2_);
  std::memset(response_, 0, sizeof response_);
  if (!challenge_) return nullptr;
  const char* realm = challenge_->GetRealm();
  const char* nonce = challenge_->GetNonce();
  const std::int32_t qop = challenge_->GetQop();
  if (!realm || !nonce || qop == 0) return nullptr;

  const char* user = challenge_->GetUserName();
  const char* password = challenge_->GetPassword();
  const char* const credentials[] = {user ? user : "anonymous", realm, password ? password : ""};
  HashParts(credentials, 3, ha1_);
  if (qop == kQopAuthInt) return nullptr;

  const char* method = challenge_->GetMethod();
  const char* uri = challenge_->GetDigestUri();
  const char* const request[] = {method ? method : "", uri ? uri : ""};
  HashParts(request, 2, ha2_);

  char cnonce[kCnonceDigits + 1] = {};
  random_.HexSequence(cnonce, kCnonceDigits, false);
  char nc[16];
  std::snprintf(nc, sizeof nc, "%08x", nonceCount_);
  ++nonceCount_;
  const char* const answer[] = {ha1_, nonce, nc, cnonce, "auth", ha2_};
  HashParts(answer, 6, response_);

  if (sink_) {
    sink_->SetNonceCount(nc);
    sink_->SetCnonce(cnonce);
    sink_->SetResponse(response_);
  }
  return nullptr;
}
