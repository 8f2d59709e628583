#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/sdp_parser.h"
#include "host/sdp_printer.h"

namespace host {
namespace {

// RFC 4317: the answerer rejects the second video stream with port 0.
constexpr const char* kRfc4317RejectedVideo =
    "v=0\r\n"
    "o=bob 2808844564 2808844565 IN IP4 host.biloxi.example.com\r\n"
    "s=\r\n"
    "c=IN IP4 host.biloxi.example.com\r\n"
    "t=0 0\r\n"
    "m=audio 49172 RTP/AVP 0\r\n"
    "a=rtpmap:0 PCMU/8000\r\n"
    "m=video 0 RTP/AVP 31\r\n"
    "m=video 49168 RTP/AVP 32\r\n"
    "a=rtpmap:32 MPV/90000\r\n";

// The session description example of RFC 4566: i=, u=, e=, multicast c=.
constexpr const char* kRfc4566Seminar =
    "v=0\r\n"
    "o=jdoe 2890844526 2890842807 IN IP4 10.47.16.5\r\n"
    "s=SDP Seminar\r\n"
    "i=A Seminar on the session description protocol\r\n"
    "u=http://www.example.com/seminars/sdp.pdf\r\n"
    "e=j.doe@example.com (Jane Doe)\r\n"
    "c=IN IP4 224.2.17.12/127\r\n"
    "t=2873397496 2873404696\r\n"
    "a=recvonly\r\n"
    "m=audio 49170 RTP/AVP 0\r\n"
    "m=video 51372 RTP/AVP 99\r\n"
    "a=rtpmap:99 h263-1998/90000\r\n";

// Repeat times, time zones, keys and bandwidth at both levels; two ports.
constexpr const char* kRepeatsAndKeys =
    "v=0\r\n"
    "o=- 3034423619 3034423619 IN IP6 2001:db8::1\r\n"
    "s=Weekly\r\n"
    "p=+1 617 555-6011\r\n"
    "c=IN IP6 2001:db8::1\r\n"
    "b=CT:128\r\n"
    "t=3034423619 3042462419\r\n"
    "r=604800 3600 0 90000\r\n"
    "r=7d 1h 0 25h\r\n"
    "t=3042462419 3050000000\r\n"
    "z=2882844526 -1h 2898848070 0\r\n"
    "k=prompt\r\n"
    "m=video 49170/2 RTP/AVP 31\r\n"
    "i=Two layers\r\n"
    "b=AS:256\r\n"
    "b=TIAS:256000\r\n"
    "k=clear:secret\r\n";

// A desktop softphone's offer: session-level c= only, several codecs with
// dynamic payloads, telephone-event, ptime, alternative addresses, a video line.
constexpr const char* kSoftphoneOffer =
    "v=0\r\n"
    "o=- 1716230400 1716230401 IN IP4 192.168.1.20\r\n"
    "s=softphone\r\n"
    "c=IN IP4 192.168.1.20\r\n"
    "t=0 0\r\n"
    "m=audio 8000 RTP/AVP 107 0 8 9 18 3 101\r\n"
    "a=alt:1 1 : dyTIAu6o Ik7CJkGB 192.168.1.20 8000\r\n"
    "a=X-alt:2 0.9 : dyTIAu6o Ik7CJkGB 203.0.113.7 41000\r\n"
    "a=fmtp:18 annexb=no\r\n"
    "a=fmtp:101 0-15\r\n"
    "a=rtpmap:107 opus/48000/2\r\n"
    "a=rtpmap:101 telephone-event/8000\r\n"
    "a=ptime:20\r\n"
    "a=sendrecv\r\n"
    "m=video 9078 RTP/AVP 109 34\r\n"
    "a=rtpmap:109 H264/90000\r\n"
    "a=fmtp:109 profile-level-id=42801F;packetization-mode=1\r\n"
    "a=rtpmap:34 H263/90000\r\n"
    "a=video-resolution:QCIF=2\r\n";

// A sloppy one: LF only, spaces at line ends, an unknown line type inside the
// media section, an MSRP line, blank lines at the end and no final newline.
constexpr const char* kSloppy =
    "v=0\n"
    "o=user1 53655765 2353687637 IN IP4 10.0.0.5   \n"
    "s=-\n"
    "t=0 0\n"
    "m=Audio 5004 RTP/AVP 0 96\n"
    "y=1234567890\n"
    "a=rtpmap:96 AMR/8000 \n"
    "c=IN IP4 10.0.0.5\n"
    "m=message 2855 TCP/MSRP *\n"
    "a=path:msrp://10.0.0.5:2855/s111;tcp\n"
    "m=text 0 RTP/AVP 98\n"
    "\n"
    "\n";

struct Example {
  const char* name;
  const char* text;
  std::vector<std::pair<CT_MEDIA_TYPE, LONG>> media;  // type and port of each m= line
  size_t session_attributes;
};

const Example kExamples[] = {
    {"rfc4317-rejected",
     kRfc4317RejectedVideo,
     {{CT_MEDIA_AUDIO, 49172}, {CT_MEDIA_VIDEO, 0}, {CT_MEDIA_VIDEO, 49168}},
     0},
    {"rfc4566-seminar", kRfc4566Seminar, {{CT_MEDIA_AUDIO, 49170}, {CT_MEDIA_VIDEO, 51372}}, 1},
    {"repeats-and-keys", kRepeatsAndKeys, {{CT_MEDIA_VIDEO, 49170}}, 0},
    {"softphone-offer", kSoftphoneOffer, {{CT_MEDIA_AUDIO, 8000}, {CT_MEDIA_VIDEO, 9078}}, 0},
    {"sloppy", kSloppy, {{CT_MEDIA_AUDIO, 5004}, {CT_MEDIA_MSRP, 2855}, {CT_MEDIA_UNKNOWN, 0}}, 0},
};

TEST(SdpText, RealDescriptionsReadAndPrintBackUnchanged) {
  for (const Example& example : kExamples) {
    SCOPED_TRACE(example.name);
    SdpParseResult parsed = ParseSdp(std::string_view(example.text));
    ASSERT_TRUE(parsed.Ok()) << parsed.ErrorMessage();
    const SdpSession& session = parsed.Value();
    ASSERT_EQ(session.media.size(), example.media.size());
    for (size_t i = 0; i < example.media.size(); ++i) {
      EXPECT_EQ(MediaTypeFromWord(session.media[i].media), example.media[i].first);
      EXPECT_EQ(session.media[i].port, example.media[i].second);
    }
    EXPECT_EQ(session.attributes.size(), example.session_attributes);

    std::string printed = PrintSdp(session);
    SdpParseResult again = ParseSdp(std::string_view(printed));
    ASSERT_TRUE(again.Ok()) << again.ErrorMessage();
    EXPECT_EQ(again.Value(), session);
    EXPECT_EQ(PrintSdp(again.Value()), printed);
    // Well-formed CRLF text comes back byte for byte.
    if (std::string_view(example.name) != "sloppy") {
      EXPECT_EQ(printed, example.text);
    }
  }
}

TEST(SdpText, KeepsDetailsAHostRelies) {
  SdpSession sloppy = ParseSdp(std::string_view(kSloppy)).Value();
  EXPECT_EQ(platform::WideToNarrow(sloppy.origin->address), "10.0.0.5");  // end spaces dropped
  EXPECT_EQ(platform::WideToNarrow(sloppy.media[0].media), "Audio");      // spelling kept
  EXPECT_EQ(platform::WideToNarrow(sloppy.media[0].attributes.at(0)), "rtpmap:96 AMR/8000");
  EXPECT_TRUE(sloppy.media[0].connection.has_value());  // read past the unknown y= line
  EXPECT_EQ(platform::WideToNarrow(sloppy.media[1].formats), "*");
  EXPECT_EQ(PrintSdp(sloppy).find("y="), std::string::npos);

  SdpSession layered = ParseSdp(std::string_view(kRepeatsAndKeys)).Value();
  EXPECT_EQ(layered.media[0].port_count, 2);
  ASSERT_EQ(layered.times.size(), 2u);
  EXPECT_EQ(layered.times[0].repeats.size(), 2u);
  EXPECT_EQ(layered.media[0].bandwidths.size(), 2u);
}

TEST(SdpText, PrintsSessionLinesInRfcOrder) {
  SdpParseResult parsed = ParseSdp(
      std::string_view("v=0\nt=0 0\na=tool:x\nc=IN IP4 192.0.2.1\ns=-\no=- 1 1 IN IP4 192.0.2.1\n"
                       "m=audio 0 RTP/AVP\na=inactive\nc=IN IP4 0.0.0.0\n"));
  ASSERT_TRUE(parsed.Ok()) << parsed.ErrorMessage();
  EXPECT_EQ(PrintSdp(parsed.Value()),
            "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n"
            "a=tool:x\r\nm=audio 0 RTP/AVP\r\nc=IN IP4 0.0.0.0\r\na=inactive\r\n");
}

TEST(SdpText, RefusesMalformedTextNamingTheLine) {
  struct Row {
    const char* text;
    const char* error;
  };
  const Row rows[] = {
      {"", "line 1: empty description"},
      {"o=- 1 1 IN IP4 h\r\n", "line 1: the description must begin with v="},
      {"\nv=0\n", ""},  // a leading blank line is harmless
      {"v=0\r\nhello\r\n", "line 2: expected <letter>=<value>"},
      {"v=0\r\n=x\r\n", "line 2: expected <letter>=<value>"},
      {"v=0\r\ns:x\r\n", "line 2: expected <letter>=<value>"},
      {"v=0\r\ns=a\x01z\r\n", "line 2: control character"},
      {"v=0\r\no=- 1 IN IP4 h\r\n", "line 2: o= needs six fields"},
      {"v=0\r\no=- 1 1 IN IP4 h extra\r\n", "line 2: o= needs six fields"},
      {"v=0\r\nc=IN IP4\r\n", "line 2: c= needs three fields"},
      {"v=0\r\nt=0\r\n", "line 2: t= needs a start and a stop time"},
      {"v=0\r\nr=7d 1h 0 25h\r\n", "line 2: r= must follow a t= or r= line"},
      {"v=0\r\nt=0 0\r\na=x\r\nr=1 2 3\r\n", "line 4: r= must follow"},
      {"v=0\r\nm=audio 49170\r\n", "line 2: m= needs media, port and transport"},
      {"v=0\r\nm=audio x RTP/AVP 0\r\n", "line 2: m= port is not a number"},
      {"v=0\r\nm=audio 65536 RTP/AVP 0\r\n", "line 2: m= port is not a number"},
      {"v=0\r\nm=audio -1 RTP/AVP 0\r\n", "line 2: m= port is not a number"},
      {"v=0\r\nm=audio 99999999999999999999 RTP/AVP 0\r\n", "line 2: m= port is not a number"},
      {"v=0\r\nm=audio 5004/0 RTP/AVP 0\r\n", "line 2: m= port is not a number"},
      {"v=0\r\na=\r\n", "line 2: empty a= line"},
      {"v=0\r\nv=0\r\n", "line 2: second v= line"},
      {"v=0\r\nc=IN IP4 a\r\nc=IN IP4 b\r\n", "line 3: second c= line"},
      {"v=0\r\nm=audio 1 RTP/AVP 0\r\ni=a\r\ni=b\r\n", "line 4: second i= line"},
      {"v=0\r\nm=audio 1 RTP/AVP 0\r\nt=0 0\r\n", "line 3: t= is not allowed inside a media"},
  };
  for (const Row& row : rows) {
    SdpParseResult parsed = ParseSdp(std::string_view(row.text));
    if (row.error[0] == '\0') {
      EXPECT_TRUE(parsed.Ok()) << row.text;
      continue;
    }
    ASSERT_FALSE(parsed.Ok()) << row.text;
    EXPECT_EQ(parsed.ErrorMessage().rfind(row.error, 0), 0u)
        << row.text << " gave: " << parsed.ErrorMessage();
    EXPECT_EQ(parsed.ErrorMessage().find('\n'), std::string::npos);
  }
}

// Whatever text arrives, reading it either fails with a reason or gives a
// session that prints and reads back unchanged.
void ExpectSafeAndStable(const std::string& text) {
  SdpParseResult parsed = ParseSdp(std::string_view(text));
  if (!parsed.Ok()) {
    EXPECT_EQ(parsed.ErrorMessage().rfind("line ", 0), 0u) << parsed.ErrorMessage();
    return;
  }
  SdpParseResult again = ParseSdp(std::string_view(PrintSdp(parsed.Value())));
  ASSERT_TRUE(again.Ok()) << again.ErrorMessage();
  EXPECT_EQ(again.Value(), parsed.Value());
}

// Random lines that look like SDP often enough to be read, with some raw bytes.
std::string RandomLines(std::mt19937& random) {
  static const std::string kTypes = "vosiuepcbtrzkamxy";
  static const std::string kValue = " 0123456789 IN IP4 RTP/AVP:audio\t/";
  std::string text = random() % 4 ? "v=0\r\n" : "";
  for (size_t line = random() % 14; line > 0; --line) {
    if (random() % 8 == 0) {
      for (size_t i = random() % 12; i > 0; --i) text += static_cast<char>(random());
    } else {
      text += kTypes[random() % kTypes.size()];
      text += '=';
      for (size_t i = random() % 24; i > 0; --i) text += kValue[random() % kValue.size()];
    }
    text += random() % 2 ? "\r\n" : "\n";
  }
  return text;
}

// Random bytes, random SDP-like lines and damaged real descriptions (cut,
// overwritten or with a run dropped) all read safely.
TEST(SdpText, RandomAndDamagedTextNeverCrashes) {
  std::mt19937 random(20240521);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t i = random() % 300; i > 0; --i) text += static_cast<char>(random());
    ExpectSafeAndStable(text);
    ExpectSafeAndStable(RandomLines(random));
    text = kExamples[round % std::size(kExamples)].text;
    if (round % 3 == 0) {
      text.resize(random() % (text.size() + 1));
    } else if (round % 3 == 1) {
      for (int k = 0; k < 4; ++k) text[random() % text.size()] = static_cast<char>(random());
    } else {
      text.erase(random() % text.size(), random() % 16);
    }
    ExpectSafeAndStable(text);
  }
}

}  // namespace
}  // namespace host
