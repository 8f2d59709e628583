// medley phone registering at kamailio, a real registrar that challenges with
// digest authentication and accepts one fixed user and password. Skipped
// where kamailio is not installed.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/tools/phone_peers.h"

namespace phone_test {
namespace {

class PhoneRegister : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v kamailio >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "kamailio is not installed";
    std::ofstream config(folder_.File("kamailio.cfg"));
    config
        << "#!KAMAILIO\n"
           "debug=1\nlog_stderror=yes\nchildren=1\n"
           "listen=udp:127.0.0.1:"
        << registrarPort_
        << "\n"
           "mpath=\"/usr/lib/x86_64-linux-gnu/kamailio/modules/\"\n"
           "loadmodule \"sl.so\"\nloadmodule \"pv.so\"\nloadmodule \"usrloc.so\"\n"
           "loadmodule \"registrar.so\"\nloadmodule \"auth.so\"\n"
           "modparam(\"usrloc\", \"db_mode\", 0)\n"
           "request_route {\n"
           "  if ($rm != \"REGISTER\") { sl_send_reply(\"405\", \"Method Not Allowed\"); exit; }\n"
           "  if (!pv_www_authenticate(\"$td\", \"secret\", \"0\")) {\n"
           "    www_challenge(\"$td\", \"0\"); exit;\n"
           "  }\n"
           "  if ($au != \"alice\") { sl_send_reply(\"403\", \"Forbidden\"); exit; }\n"
           "  if (!save(\"location\")) { sl_reply_error(); }\n"
           "  exit;\n"
           "}\n";
    config.close();
    registrar_ = std::make_unique<Child>(
        std::vector<std::string>{"kamailio", "-f", folder_.File("kamailio.cfg"), "-DD", "-E", "-Y",
                                 folder_.Path()},
        folder_.File("kamailio.out"));
    ASSERT_TRUE(registrar_->WaitFor("udp: 127.0.0.1", 5s)) << registrar_->Errors();
  }
  void TearDown() override {
    if (registrar_) registrar_->Stop(3s);
  }

  TempFolder folder_;
  const int registrarPort_ = FreePort();
  std::unique_ptr<Child> registrar_;
};

TEST_F(PhoneRegister, AnswersTheDigestChallenge) {
  struct Row {
    const char* user;
    const char* password;
    std::string line;
    int status;  // 0: registered and still running (stopped by the test)
  };
  const std::string domain = "@127.0.0.1:" + std::to_string(registrarPort_);
  const Row rows[] = {
      {"alice", "secret", "registered sip:alice" + domain, 0},
      {"alice", "wrong", "registration refused 401 Unauthorized", 1},
      {"bob", "secret", "registration refused 403 Forbidden", 1},
  };
  for (const Row& row : rows) {
    Child phone({MEDLEY_TOOL_FILE, "phone", "--listen", "127.0.0.1:" + std::to_string(FreePort()),
                 "--register", "sip:127.0.0.1:" + std::to_string(registrarPort_), "--user",
                 row.user, "--password", row.password},
                folder_.File(std::string("phone-") + row.user + row.password + ".out"));
    EXPECT_TRUE(phone.WaitFor(row.line)) << phone.Output() << phone.Errors();
    EXPECT_EQ(row.status == 0 ? phone.Stop() : phone.Wait(5s), row.status) << row.line;
  }
}

}  // namespace
}  // namespace phone_test
