// The offer and answer commands of the medley program, run on string streams
// over the stand-in engine.
#include <sstream>
#include <string>
#include <vector>

#include "tests/media/media_test_support.h"
#include "tools/commands.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome Answer(const tools::Arguments& args, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = tools::RunAnswerFrom(args, in, out, err);
  return {status, out.str(), err.str()};
}

// The m= lines of printed SDP, with non-zero ports shown as "P".
Strings MediaLines(const std::string& text) {
  Strings lines;
  auto sdp = ParseSdp(text);
  for (size_t i = 0; i < sdp->Session().media.size(); ++i) lines.push_back(WrittenLine(*sdp, i)[0]);
  return lines;
}

constexpr const char* kOffer =
    "v=0\r\no=alice 2890844526 2890844526 IN IP4 198.51.100.1\r\ns=\r\nc=IN IP4 198.51.100.1\r\n"
    "t=0 0\r\nm=audio 49170 RTP/AVP 0 8 97 101\r\na=rtpmap:97 iLBC/8000\r\n"
    "a=rtpmap:101 telephone-event/8000\r\nm=video 51372 RTP/AVP 31 32\r\n"
    "m=audio 0 RTP/AVP 0\r\nm=audio 5000 RTP/AVP 98\r\na=rtpmap:98 iLBC/8000\r\n";

TEST(NegotiationCommands, OfferListsThePreferredEngineCodecs) {
  std::ostringstream out, err;
  ASSERT_EQ(tools::RunOffer(
                {"--prefer", "PCMA, telephone-event,nope", "--ip", "192.0.2.5", "--port", "40100"},
                out, err),
            0)
      << err.str();
  auto sdp = ParseSdp(out.str());
  EXPECT_EQ(WrittenLine(*sdp, 0),
            (Strings{"m=audio P RTP/AVP 8 101", "a=rtpmap:8 PCMA/8000",
                     "a=rtpmap:101 telephone-event/8000", "c=IN IP4 192.0.2.5"}));
  EXPECT_GE(sdp->Session().media[0].port, 40100);
}

TEST(NegotiationCommands, AnswerTurnsDownWhatItCannotTakeAndRefusesNonSdp) {
  struct Row {
    tools::Arguments args;
    std::string input;
    int status;
    Strings lines;          // m= lines of the answer
    std::string errorPart;  // expected in the error output
  };
  const Row rows[] = {
      {{"--ip", "127.0.0.1"},
       kOffer,
       0,
       {"m=audio P RTP/AVP 0 8 101", "m=video 0 RTP/AVP 31 32", "m=audio 0 RTP/AVP 0",
        "m=audio 0 RTP/AVP 98"},
       ""},
      {{"--prefer", "G729", "-"},
       kOffer,
       0,
       {"m=audio 0 RTP/AVP 0 8 97 101", "m=video 0 RTP/AVP 31 32", "m=audio 0 RTP/AVP 0",
        "m=audio 0 RTP/AVP 98"},
       ""},
      {{}, "hello\n", 1, {}, "not an SDP offer: line 1"},
      {{}, std::string("v=0\0\xff\xfe m=", 9), 1, {}, "not an SDP offer"},
      {{}, "", 1, {}, "not an SDP offer"},
      {{"--port", "-4"}, kOffer, 2, {}, "--port needs a number"},
      {{"--ip"}, kOffer, 2, {}, "needs a value"},
      {{"a.sdp", "b.sdp"}, kOffer, 2, {}, "unexpected argument 'b.sdp'"},
      {{"/nonexistent/offer.sdp"}, "", 1, {}, "cannot read"},
  };
  for (const Row& row : rows) {
    Outcome run = Answer(row.args, row.input);
    EXPECT_EQ(run.status, row.status) << row.input << run.err;
    if (row.status == 0) {
      EXPECT_EQ(MediaLines(run.out), row.lines);
    }
    EXPECT_NE(run.err.find(row.errorPart), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace media_test
