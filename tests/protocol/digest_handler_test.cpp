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
struct FakeChallenge : mAuthHeader {
  FakeChallenge(const char* realm, const char* nonce, int qop, const char* user = "u",
                const char* password = "p", const char* method = "M", const char* uri = "x",
                int* deletions = nullptr)
      : v{realm, nonce, user, password, method, uri}, qop(qop), deletions(deletions) {}
  ~FakeChallenge() override {
    if (deletions) ++*deletions;
  }
  const char* GetRealm() override { return v[0]; }
  const char* GetNonce() override { return v[1]; }
  const char* GetUserName() override { return v[2]; }
  const char* GetPassword() override { return v[3]; }
  const char* GetMethod() override { return v[4]; }
  const char* GetDigestUri() override { return v[5]; }
  std::int32_t GetQop() override { return qop; }
  const char* v[6];
  int qop;
  int* deletions;
};

// Records what the handler delivers, in order.
struct RecordingSink : mAuthResponse {
  void SetNonceCount(const char* value) override {
    calls.push_back("nc=" + std::string(value));
    nc = value;
  }
  void SetCnonce(const char* value) override {
    calls.push_back("cnonce");
    cnonce = value;
  }
  void SetResponse(const char* value) override {
    calls.push_back("response");
    response = value;
  }
  std::vector<std::string> calls;
  std::string nc, cnonce, response;
};

TEST(DigestHandlerTest, ResponseFollowsTheDigestFormula) {
  // The worked example: with its nc and cnonce the formula gives its response.
  const std::string exampleHa1 = Md5("Mufasa:testrealm@host.com:Circle Of Life");
  EXPECT_EQ(exampleHa1, "939e7578ed9e3c518a452acee763bce9");
  EXPECT_EQ(Md5(exampleHa1 + ":dcd98b7102dd2f0e8b11d0f600bfb0c093:00000001:0a4f113b:auth:" +
                Md5("GET:/dir/index.html")),
            "6629fae49393a05397450978507c4ef1");
  const std::string longUser(700, 'u'), longPassword(513, 'p'), longRealm(1000, 'r');
  const std::string longNonce(2000, 'n'), longMethod(300, 'M'), longUri(4096, '/');
  const struct {
    const char *realm, *nonce, *user, *password, *method, *uri;
    std::string ha1;  // of the user name, realm and password actually used
  } cases[] = {
      {"testrealm@host.com", "dcd98b7102dd2f0e8b11d0f600bfb0c093", "Mufasa", "Circle Of Life",
       "GET", "/dir/index.html", exampleHa1},
      {"r", "n", nullptr, nullptr, "M", "x", Md5("anonymous:r:")},  // absent credentials
      // Inputs of any length are hashed whole.
      {longRealm.c_str(), longNonce.c_str(), longUser.c_str(), longPassword.c_str(),
       longMethod.c_str(), longUri.c_str(), Md5(longUser + ":" + longRealm + ":" + longPassword)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.realm).substr(0, 20));
    FakeChallenge challenge(c.realm, c.nonce, 1, c.user, c.password, c.method, c.uri);
    RecordingSink sink;
    cDigestHandler handler;
    ASSERT_TRUE(handler.Initialize(&sink));
    handler.Consume(&challenge, false, false);
    EXPECT_EQ(handler.GenerateResponse(), nullptr);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"nc=00000001", "cnonce", "response"}));
    EXPECT_TRUE(std::regex_match(sink.cnonce, std::regex("[0-9a-f]{32}")));
    EXPECT_EQ(sink.response, Md5(c.ha1 + ":" + c.nonce + ":" + sink.nc + ":" + sink.cnonce +
                                 ":auth:" + Md5(std::string(c.method) + ":" + c.uri)));
  }
}

TEST(DigestHandlerTest, NonceCountAdvancesAndResets) {
  FakeChallenge challenge("r", "n", 1);
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.Consume(&challenge, false, false);
  handler.GenerateResponse();
  const std::string firstCnonce = sink.cnonce;
  EXPECT_EQ(sink.nc, "00000001");
  handler.GenerateResponse();
  EXPECT_EQ(sink.nc, "00000002");
  EXPECT_NE(sink.cnonce, firstCnonce);
  handler.Consume(&challenge, true, false);
  handler.GenerateResponse();
  EXPECT_EQ(sink.nc, "00000001");
}

TEST(DigestHandlerTest, DeliversNothingWithoutAUsableChallenge) {
  FakeChallenge noRealm(nullptr, "n", 1), noNonce("r", nullptr, 1), noQop("r", "n", 0),
      authInt("r", "n", 2);
  mAuthHeader base;  // the base class answers null and 0
  RecordingSink sink;
  cDigestHandler handler;
  ASSERT_TRUE(handler.Initialize(&sink));
  handler.GenerateResponse();  // nothing consumed yet
  for (mAuthHeader* challenge :
       std::vector<mAuthHeader*>{&noRealm, &noNonce, &noQop, &authInt, &base}) {
    handler.Consume(challenge, false, false);
    handler.GenerateResponse();
  }
  EXPECT_TRUE(sink.calls.empty());
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
