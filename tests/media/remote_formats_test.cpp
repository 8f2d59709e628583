// Reading the formats of offered media lines: attribute lookup, rtpmap
// records, the static table, video fmtp parameters and hostile input.
#include <string>
#include <vector>

#include "media/static_payload_types.h"
#include "tests/media/media_test_support.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kSession =
    "v=0\no=- 1 1 IN IP4 198.51.100.1\ns=-\nc=IN IP4 198.51.100.1\nt=0 0\n";

class RemoteFormatsTest : public HandlerTest {
 protected:
  void SetUp() override { StartHandler({"PCMU"}); }

  Strings Formats(const std::string& media) {
    auto sdp = ParseSdp(kSession + media);
    PayloadTypeList formats;
    EXPECT_EQ(handler_->GetRemoteFormats(sdp.Get(), 0, &formats), S_OK) << media;
    return DescribeAll(formats);
  }
};

TEST_F(RemoteFormatsTest, FormatListOrderWithRtpmapAndStaticEntries) {
  struct Row {
    const char* media;
    Strings expected;
  };
  const Row rows[] = {
      // RFC 4317 style: static numbers need no rtpmap; 100 has none and is dropped.
      {"m=audio 49170 RTP/AVP 0 8 97 100\na=rtpmap:97 iLBC/8000\n",
       {"0 PCMU/8000/1", "8 PCMA/8000/1", "97 iLBC/8000/1"}},
      {"m=audio 1 RTP/AVP 15 13 19\n", {"15 G728/8000/1", "13 CN/8000/1", "19 /0/0"}},
      // An rtpmap overrides the static entry; the first of two rtpmaps wins.
      {"m=audio 1 RTP/AVP 0 96\na=rtpmap:0 pcmu/8000\na=rtpmap:96 opus/48000/2\n"
       "a=rtpmap:96 speex/16000\n",
       {"0 pcmu/8000/1", "96 opus/48000/2"}},
      // Payload numbers are unsigned: -1 and 2^32-1 are the same large number,
      // never a static one; text tokens are skipped.
      {"m=audio 1 RTP/AVP -1 4294967295 99999999999 abc 18\n", {"18 G729/8000/1"}},
      {"m=audio 1 RTP/AVP -1 8\na=rtpmap:-1 odd/8000\n",
       {"4294967295 odd/8000/1", "8 PCMA/8000/1"}},
      {"m=audio 1 RTP/AVP 4294967295\na=rtpmap:99999999999 big/8000\n", {"4294967295 big/8000/1"}},
      // rtpmap values missing parts.
      {"m=audio 1 RTP/AVP 96 97 98 99 100\na=rtpmap:96\na=rtpmap:97 AMR\na=rtpmap:98 X/abc\n"
       "a=rtpmap:\na=rtpmap: foo/8000\na=rtpmap:100 G7221/16000/\n",
       {"96 /0/1", "97 AMR/0/1", "98 X/0/1", "100 G7221/16000/1"}},
      // Session-level rtpmap only when the media line has none.
      {"a=rtpmap:96 AMR/8000\nm=audio 1 RTP/AVP 96\n", {"96 AMR/8000/1"}},
      {"m=audio 1 RTP/AVP\n", {}},
      // Video: 34 without rtpmap is QCIF H.263; fmtp sizes and H.264 levels.
      {"m=video 1 RTP/AVP 34 31\n",
       {"34 H263/90000/1 kind2 176x144@25 QCIF", "31 H261/90000/0 kind2"}},
      // A repeated number gives the same record again, rtpmap'd or default.
      {"m=video 1 RTP/AVP 96 34 96 34\na=rtpmap:96 H263-1998/90000\na=fmtp:96 CIF=1 maxbr=30\n",
       {"96 H263-1998/90000/1 kind2 br=30 352x288@30 CIF", "34 H263/90000/1 kind2 176x144@25 QCIF",
        "96 H263-1998/90000/1 kind2 br=30 352x288@30 CIF",
        "34 H263/90000/1 kind2 176x144@25 QCIF"}},
      {"m=video 1 RTP/AVP 34\na=rtpmap:34 H263/90000\na=video-resolution:CIF=2\n",
       {"34 H263/90000/1 kind2 352x288@15 CIF"}},
      {"m=video 1 RTP/AVP 96\na=rtpmap:96 H263-1998/90000\na=fmtp:96 CIF=1;QCIF=2 maxbr=3000\n",
       {"96 H263-1998/90000/1 kind2 br=3000 352x288@30 CIF +1"}},
      {"m=video 1 RTP/AVP 97\na=rtpmap:97 H264/90000\n"
       "a=fmtp:97 profile-level-id=42e01e; packetization-mode=1; max-br=20000\n",
       {"97 H264/90000/1 kind2 704x576@30 4CIF mode1 +6"}},
      {"m=video 1 RTP/AVP 97\na=rtpmap:97 H264/90000\n"
       "a=fmtp:97 profile-level-id=42800d;max-mbps=11880;max-br=500\n",
       {"97 H264/90000/1 kind2 br=500 320x240@30 QVGA +4"}},
      // Not baseline H.264 (64...) and a too-short level: no crash, audio-like record.
      {"m=video 1 RTP/AVP 97 98\na=rtpmap:97 H264/90000\na=rtpmap:98 H264/90000\n"
       "a=fmtp:97 profile-level-id=64001f\na=fmtp:98 profile-level-id=42\n",
       {"97 H264/90000/1", "98 H264/90000/1 kind2 128x96@30 SQCIF +1"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Formats(row.media), row.expected) << row.media;
}

TEST_F(RemoteFormatsTest, RtpmapRecordsInAttributeOrder) {
  struct Row {
    const char* media;
    Strings expected;
  };
  const Row rows[] = {
      // Every rtpmap of the line in attribute order, whether or not the
      // format list names it; static numbers without rtpmap give nothing.
      {"m=audio 1 RTP/AVP 0 97\na=rtpmap:101 telephone-event/8000\na=rtpmap:97 iLBC/8000\n",
       {"101 telephone-event/8000/1", "97 iLBC/8000/1"}},
      {"m=audio 1 RTP/AVP 96\na=rtpmap:96 opus/48000/2\na=rtpmap:96 speex/16000\n",
       {"96 opus/48000/2", "96 speex/16000/1"}},
      {"m=audio 1 RTP/AVP 0 8\n", {}},
      {"a=rtpmap:96 AMR/8000\nm=audio 1 RTP/AVP 96\n", {"96 AMR/8000/1"}},
      // Malformed values: no number, nothing at all, no name, no clock rate.
      {"m=audio 1 RTP/AVP 96 98\na=rtpmap:abc PCMU/8000\na=rtpmap:\na=rtpmap:96\n"
       "a=rtpmap:98 X/abc\na=rtpmap: foo/8000\n",
       {"96 /0/1", "98 X/0/1"}},
      // 34 listed without an rtpmap: the default H.263 record comes last.
      {"m=video 1 RTP/AVP 34 96\na=rtpmap:96 H263-1998/90000\n",
       {"96 H263-1998/90000/1", "34 H263/90000/1 kind2 176x144@25 QCIF"}},
      {"m=video 1 RTP/AVP 96\na=rtpmap:96 H263-1998/90000\na=fmtp:96 CIF=1 maxbr=30\n",
       {"96 H263-1998/90000/1 kind2 br=30 352x288@30 CIF"}},
      {"m=video 1 RTP/AVP 34\na=rtpmap:34 H263/90000\n", {"34 H263/90000/1 kind2 176x144@25 QCIF"}},
  };
  for (const Row& row : rows) {
    auto sdp = ParseSdp(kSession + std::string(row.media));
    PayloadTypeList formats;
    EXPECT_EQ(handler_->GetRtpmapPayloadTypes(sdp.Get(), 0, &formats), S_OK) << row.media;
    EXPECT_EQ(DescribeAll(formats), row.expected) << row.media;
  }
}

TEST_F(RemoteFormatsTest, RtpmapRecordsOfAMissingLineFailAndLeaveNone) {
  auto sdp = ParseSdp(kSession + std::string("m=audio 1 RTP/AVP 96\na=rtpmap:96 AMR/8000\n"));
  PayloadTypeList formats(1);
  EXPECT_EQ(handler_->GetRtpmapPayloadTypes(sdp.Get(), 1, &formats), E_INVALIDARG);
  EXPECT_TRUE(formats.empty());
  EXPECT_EQ(handler_->GetRtpmapPayloadTypes(nullptr, 0, &formats), E_POINTER);
  EXPECT_EQ(handler_->GetRtpmapPayloadTypes(sdp.Get(), 0, nullptr), E_POINTER);
}

TEST_F(RemoteFormatsTest, AttributeNamesMatchByTheAttributesOwnLength) {
  struct Row {
    const char* text;
    const char* name;
    Strings expected;
  };
  const Row rows[] = {
      {"m=audio 1 RTP/AVP 0\na=PTIME:20\na=ptime:30\n", "ptime", {"20", "30"}},
      {"m=audio 1 RTP/AVP 0\na=pt:40\n", "ptime", {"40"}},  // shorter name matches
      {"m=audio 1 RTP/AVP 0\na=ptimes:40\n", "ptime", {}},  // longer does not
      {"m=audio 1 RTP/AVP 0\na=sendrecv\na=sendonly\n", "sendrecv", {"sendrecv"}},
      {"m=audio 1 RTP/AVP 0\na=ptime:\n", "ptime", {""}},
      {"a=ptime:60\nm=audio 1 RTP/AVP 0\n", "ptime", {"60"}},  // session fallback
      {"a=ptime:60\nm=audio 1 RTP/AVP 0\na=ptime:10\n", "ptime", {"10"}},
  };
  for (const Row& row : rows) {
    auto sdp = ParseSdp(kSession + std::string(row.text));
    std::vector<platform::OleString> values;
    ASSERT_EQ(handler_->GetAttributeValues(sdp.Get(), 0, platform::AsciiToWide(row.name), &values),
              S_OK);
    Strings narrow;
    for (const auto& v : values) narrow.push_back(Narrow(v));
    EXPECT_EQ(narrow, row.expected) << row.text;
  }
}

TEST_F(RemoteFormatsTest, ThousandsOfLinesAreReadInFormatOrder) {
  std::string media = "m=audio 1 RTP/AVP";
  std::string attributes;
  for (int n = 5000; n > 0; --n) media += " " + std::to_string(n);
  for (int n = 1; n <= 5000; ++n) {
    attributes += "a=rtpmap:" + std::to_string(n) + " C" + std::to_string(n) + "/8000\n";
    attributes += "a=fmtp:" + std::to_string(n) + " mode=" + std::string(50, 'x') + "\n";
  }
  Strings formats = Formats(media + "\n" + attributes);
  ASSERT_EQ(formats.size(), 5000u);
  EXPECT_EQ(formats.front(), "5000 C5000/8000/1");
  EXPECT_EQ(formats.back(), "1 C1/8000/1");
}

TEST(StaticPayloadTypes, FollowTheRtpProfile) {
  const auto& table = StaticPayloadTypes();
  const Strings expected = {"0 PCMU/8000/1", "10 L16/44100/2",        "18 G729/8000/1",
                            "24 /0/0 kind2", "33 MP2T/90000/0 kind3", "34 H263/90000/0 kind2"};
  Strings described;
  for (int n : {0, 10, 18, 24, 33, 34}) described.push_back(Describe(table[n]));
  EXPECT_EQ(described, expected);
  for (std::uint32_t n = 0; n < kStaticPayloadTypeCount; ++n) EXPECT_EQ(table[n].Number(), n);
  EXPECT_FALSE(IsStaticPayloadNumber(35));
  EXPECT_FALSE(IsStaticPayloadNumber(0xFFFFFFFFu));
}

}  // namespace
}  // namespace media_test
