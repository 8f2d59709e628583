#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "medley/digest_handler.h"

namespace {

std::string Md5(const std::string& text) {
  cHashEngine engine;
  engine.Initialize(HASH_MD5);
  engine.Consume(text.data(), static_cast<unsigned>(text.size()));
  char hex[33];
  engine.Output(hex);
  return hex;
}

// A challenge over plain fields; null pointers stand for absent values.
class FakeChallenge : public mAuthHeader {
 public:
  FakeChallenge(const char* realm, const char* nonce, int qop, const char* user,
                const char* password, const char* method, const char* uri, int* deletions = nullptr)
      : realm_(realm), nonce_(nonce), user_(user), password_(password), method_(method), uri_(uri),
        qop_(qop), deletions_(deletions) {}
  ~FakeChallenge() override {
    if (deletions_) ++*deletions_;
  }
  const char* GetRealm() override { return realm_; }
  const char* GetNonce() override { return nonce_; }
  const char* GetUserName() override { return user_; }
  const char* GetPassword() override { return password_; }
  const char* GetMethod() override { return method_; }
  const char* GetDigestUri() override { return uri_; }
  std::int32_t GetQop() override { return qop_; }

 private:
  const char *realm_, *nonce_, *user_, *password_, *method_, *uri_;
  int qop_;
  int* deletions_;
};

// Records what the handler delivers, in order.
class RecordingSink : public mAuthResponse {
 public:
  void SetNonceCount(const char* value) override { calls.push_back("nc=" + std::string(value)); nc = value; }
  void SetCnonce(const char* value) override { calls.push_back("cnonce"); cnonce = value; }
  void SetResponse(const char* value) override { calls.push_back("response"); response = value; }
  std::vector<std::string> calls;
  std::string nc, cnonce, response;
};

// The response expected from HA1 and HA2 with the nc and cnonce delivered.
std::string Expected(const std::string& ha1, const std::string& nonce, const RecordingSink& sink,
                     const std::string& ha2) {
  return Md5(ha1 + ":" + nonce + ":" + sink.nc + ":" + sink.cnonce + ":auth:" + ha2);
}

TEST(DigestHandlerTest, Rfc2617Example) {
  // The worked example: with its nc and cnonce the formula gives its response.
  const std::string ha1 = Md5("Mufasa:testrealm@host.com:Circle Of Life");
  const std::string ha2 = Md5("GET:/dir/index.html");
  EXPECT_EQ(ha1, "939e7578ed9e3c518a452acee763bce9");
  EXPECT_EQ(Md5(ha1 + ":dcd98b7102dd2f0e8b11d0f600bfb0c093:00000001:0a4f113b:auth:" + ha2),
            "6629fae49393a05397450978507c4ef1");

  FakeChallenge challenge("testrealm@host.com", "dcd98b7102dd2f0e8b11d0f600bfb0c093", 1, "Mufasa",
                          "Circle Of Life", "GET", "/dir/index.html");
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.Consume(&challenge, false, false);
  EXPECT_EQ(handler.GenerateResponse(), nullptr);
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"nc=00000001", "cnonce", "response"}));
  EXPECT_TRUE(std::regex_match(sink.cnonce, std::regex("[0-9a-f]{32}")));
  EXPECT_EQ(sink.response, Expected(ha1, "dcd98b7102dd2f0e8b11d0f600bfb0c093", sink, ha2));
}

TEST(DigestHandlerTest, NonceCountAndDefaults) {
  FakeChallenge challenge("r", "n", 1, "u", "p", "M", "x");
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.Consume(&challenge, false, false);
  handler.GenerateResponse();
  const std::string firstCnonce = sink.cnonce;
  EXPECT_EQ(sink.nc, "00000001");
  EXPECT_EQ(sink.response, Expected(Md5("u:r:p"), "n", sink, Md5("M:x")));
  handler.GenerateResponse();
  EXPECT_EQ(sink.nc, "00000002");
  EXPECT_NE(sink.cnonce, firstCnonce);
  handler.Consume(&challenge, true, false);
  handler.GenerateResponse();
  EXPECT_EQ(sink.nc, "00000001");

  FakeChallenge anonymous("r", "n", 1, nullptr, nullptr, "M", "x");
  handler.Consume(&anonymous, false, false);
  handler.GenerateResponse();
  EXPECT_EQ(sink.response, Expected(Md5("anonymous:r:"), "n", sink, Md5("M:x")));
}

TEST(DigestHandlerTest, DeliversNothingWithoutAUsableChallenge) {
  FakeChallenge noRealm(nullptr, "n", 1, "u", "p", "M", "x");
  FakeChallenge noNonce("r", nullptr, 1, "u", "p", "M", "x");
  FakeChallenge noQop("r", "n", 0, "u", "p", "M", "x");
  FakeChallenge authInt("r", "n", 2, "u", "p", "M", "x");
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.GenerateResponse();  // nothing consumed yet
  for (mAuthHeader* challenge : std::vector<mAuthHeader*>{&noRealm, &noNonce, &noQop, &authInt}) {
    handler.Consume(challenge, false, false);
    handler.GenerateResponse();
  }
  EXPECT_TRUE(sink.calls.empty());

  mAuthHeader base;  // the base class answers null, 0 and false
  handler.Consume(&base, false, false);
  handler.GenerateResponse();
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_FALSE(base.IsStale());
  EXPECT_EQ(base.GetHeaderKind(), 0);
}

TEST(DigestHandlerTest, InputsOfAnyLengthAreHashedWhole) {
  const std::string user(700, 'u'), password(513, 'p'), realm(1000, 'r'), nonce(2000, 'n');
  const std::string method(300, 'M'), uri(4096, '/');
  FakeChallenge challenge(realm.c_str(), nonce.c_str(), 1, user.c_str(), password.c_str(),
                          method.c_str(), uri.c_str());
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.Consume(&challenge, false, false);
  handler.GenerateResponse();
  EXPECT_EQ(sink.response, Expected(Md5(user + ":" + realm + ":" + password), nonce, sink,
                                    Md5(method + ":" + uri)));
}

TEST(DigestHandlerTest, ConsumeDeletesThePreviousChallengeOnRequest) {
  int deletions = 0;
  cDigestHandler handler;
  handler.Consume(new FakeChallenge("r", "n", 1, "u", "p", "M", "x", &deletions), false, false);
  handler.Consume(new FakeChallenge("r", "n", 1, "u", "p", "M", "x", &deletions), false, true);
  EXPECT_EQ(deletions, 1);
  FakeChallenge last("r", "n", 1, "u", "p", "M", "x", &deletions);
  handler.Consume(&last, false, true);
  EXPECT_EQ(deletions, 2);
  handler.Consume(&last, false, true);  // the current one is never deleted
  EXPECT_EQ(deletions, 2);
}

}  // namespace
