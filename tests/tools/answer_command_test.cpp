#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/sdp_document.h"
#include "tools/commands.h"

namespace tools {
namespace {

// An offer of many more audio lines than the engine has channels: those
// that get a channel are answered, the rest are turned down with port 0,
// and the answer keeps one line per offered line.
TEST(AnswerCommand, AudioLinesBeyondTheEnginesChannelsAreTurnedDown) {
  constexpr size_t kLines = 200;
  std::string offer =
      "v=0\r\no=- 1 1 IN IP4 198.51.100.1\r\ns=-\r\nc=IN IP4 198.51.100.1\r\nt=0 0\r\n";
  for (size_t i = 0; i < kLines; ++i)
    offer += "m=audio " + std::to_string(20000 + 2 * i) + " RTP/AVP 0 8\r\n";
  std::istringstream in(offer);
  std::ostringstream out, err;
  ASSERT_EQ(RunAnswerFrom({"--ip", "192.0.2.5"}, in, out, err), 0) << err.str();

  auto parsed = host::SdpDocument::Parse(out.str());
  ASSERT_TRUE(parsed.Ok()) << out.str();
  auto answer = std::move(parsed).Value();
  const auto& lines = answer->Session().media;
  ASSERT_EQ(lines.size(), kLines);
  size_t answered = 0;
  while (answered < kLines && lines[answered].port != 0) ++answered;
  EXPECT_GT(answered, 0u);
  EXPECT_LT(answered, kLines);
  for (size_t i = answered; i < kLines; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].media, u"audio");
    EXPECT_EQ(lines[i].port, 0);
    EXPECT_EQ(lines[i].transport, u"RTP/AVP");
  }
}

}  // namespace
}  // namespace tools
