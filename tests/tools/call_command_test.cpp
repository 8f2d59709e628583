// medley call: two handler objects from the entry points calling each other.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace tools {
namespace {

struct CallRun {
  int status;
  std::string out;
  std::string err;
};

CallRun Call(const Arguments& args) {
  std::ostringstream out, err;
  int status = RunCall(args, out, err);
  return {status, out.str(), err.str()};
}

// Whether each of `texts` appears in `output`, in this order.
bool AppearInOrder(const std::string& output, const std::vector<std::string>& texts) {
  size_t at = 0;
  for (const std::string& text : texts) {
    at = output.find(text, at);
    if (at == std::string::npos) return false;
    at += text.size();
  }
  return true;
}

TEST(CallCommand, RefusesArgumentsItCannotUse) {
  struct Row {
    Arguments args;
    const char* error;
  };
  const Row rows[] = {
      {{"--port", "0"}, "--port needs a number from 1 to 65535, not '0'"},
      {{"--callee-port", "65536"}, "--callee-port needs a number from 1 to 65535, not '65536'"},
      {{"--prefer"}, "option --prefer needs a value"},
      {{"somewhere"}, "unexpected argument 'somewhere'"},
  };
  for (const Row& row : rows) {
    CallRun run = Call(row.args);
    EXPECT_EQ(run.status, 2) << row.error;
    EXPECT_NE(run.err.find(row.error), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(CallCommand, PrintsTheOfferTheAnswerAndEveryStep) {
  CallRun run = Call({"--prefer", "PCMU,PCMA,telephone-event", "--callee-prefer",
                  "PCMA,PCMU,telephone-event", "--port", "44000", "--callee-port", "46000"});
  EXPECT_TRUE(AppearInOrder(
      run.out, {"caller Init", "S_OK", "callee Init", "S_OK", "caller ReserveChannel", "S_OK",
                "caller AddOfferMediaDescription", "S_OK", "-- offer (caller to callee)",
                "m=audio 44", " RTP/AVP 0 8 101\r\n", "callee AnyCommonFormat", "S_OK",
                "callee ReserveChannel", "S_OK", "callee AddAnswerMediaDescription", "S_OK",
                "-- answer (callee to caller)", "m=audio 46", " RTP/AVP 8 0 101\r\n",
                "callee SetReceiveParameters"}))
      << run.out;
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(AppearInOrder(run.out, {"callee StartSending", "S_OK", "caller StartSending", "S_OK",
                                      "the call is up", "caller StopSending", "S_OK",
                                      "caller ReleaseChannel", "S_OK", "callee StopSending", "S_OK",
                                      "callee ReleaseChannel", "S_OK"}))
      << run.out;
  EXPECT_EQ(run.out.find("0x"), std::string::npos) << "every step succeeded";
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(CallCommand, ACalleeWithNothingInCommonTurnsTheLineDown) {
  CallRun run = Call({"--prefer", "PCMU", "--callee-prefer", "PCMA", "--port", "48000",
                  "--callee-port", "50000"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(AppearInOrder(run.out, {"m=audio 0 RTP/AVP 0\r\n", "turned the line down",
                                      "caller ReleaseChannel", "S_OK", "callee ReleaseChannel",
                                      "S_OK"}))
      << run.out;
  EXPECT_EQ(run.out.find("SetReceiveParameters"), std::string::npos);
  EXPECT_TRUE(run.err.empty()) << run.err;
}

}  // namespace
}  // namespace tools
