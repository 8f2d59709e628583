// Offers and answers written through the reference host over the stand-in
// engine's codecs, with SDP as softphones and RFC 4317 write it.
#include <functional>
#include <string>
#include <vector>

#include "tests/media/media_test_support.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;

const Strings kPreferred = {"G722", "AMR-WB", "PCMU", "PCMA", "G729", "telephone-event"};

// RFC 4317, 2.1: audio and video offered, iLBC unknown here.
constexpr const char* kRfc4317AudioVideo =
    "v=0\no=alice 2890844526 2890844526 IN IP4 host.atlanta.example.com\ns=\n"
    "c=IN IP4 host.atlanta.example.com\nt=0 0\n"
    "m=audio 49170 RTP/AVP 0 8 97\na=rtpmap:0 PCMU/8000\na=rtpmap:8 PCMA/8000\n"
    "a=rtpmap:97 iLBC/8000\n"
    "m=video 51372 RTP/AVP 31 32\na=rtpmap:31 H261/90000\na=rtpmap:32 MPV/90000\n";

// A desktop softphone: many codecs, dynamic AMR-WB, G.729 without annex B.
constexpr const char* kSoftphone =
    "v=0\no=- 3917374740 3917374740 IN IP4 192.168.1.34\ns=softphone\nc=IN IP4 192.168.1.34\n"
    "t=0 0\nm=audio 58712 RTP/AVP 9 8 0 18 3 96 97 101\na=rtpmap:9 G722/8000\n"
    "a=rtpmap:8 PCMA/8000\na=rtpmap:0 PCMU/8000\na=rtpmap:18 G729/8000\na=fmtp:18 annexb=no\n"
    "a=rtpmap:3 GSM/8000\na=rtpmap:96 AMR-WB/16000\na=fmtp:96 octet-align=1\n"
    "a=rtpmap:97 AMR/8000\na=rtpmap:101 telephone-event/8000\na=fmtp:101 0-16\na=ptime:20\n"
    "a=sendrecv\n";

// A phone: video first, session-level c= only, telephone-event at 100.
constexpr const char* kVideoFirst =
    "v=0\no=- 20518 0 IN IP4 203.0.113.9\ns=SDP data\nc=IN IP4 203.0.113.9\nt=0 0\n"
    "m=video 9078 RTP/AVP 34 96\na=rtpmap:96 H264/90000\na=fmtp:96 profile-level-id=42e01e\n"
    "m=audio 9076 RTP/AVP 18 0 100\na=fmtp:18 annexb=yes\na=rtpmap:100 telephone-event/8000\n";

constexpr const char* kNothingInCommon =
    "v=0\no=- 1 1 IN IP4 198.51.100.7\ns=-\nc=IN IP4 198.51.100.7\nt=0 0\n"
    "m=audio 4000 RTP/AVP 98 4\na=rtpmap:98 iLBC/8000\na=ptime:30\n";

class OfferAnswerTest : public HandlerTest {
 protected:
  void SetUp() override { StartHandler(kPreferred); }
};

TEST_F(OfferAnswerTest, AnswersRealOffersInLocalPreferenceOrderWithThePeersNumbers) {
  struct Row {
    const char* name;
    const char* offer;
    LONG index;
    Strings expected;
  };
  const Row rows[] = {
      {"softphone",
       kSoftphone,
       0,
       {"m=audio P RTP/AVP 9 96 0 8 18 101", "a=rtpmap:9 G722/8000", "a=rtpmap:96 AMR-WB/16000",
        "a=rtpmap:0 PCMU/8000", "a=rtpmap:8 PCMA/8000", "a=rtpmap:18 G729/8000",
        "a=rtpmap:101 telephone-event/8000", "a=fmtp:18 annexb=no", "c=IN IP4 127.0.0.1"}},
      {"video first",
       kVideoFirst,
       1,
       {"m=audio P RTP/AVP 0 18 100", "a=rtpmap:0 PCMU/8000", "a=rtpmap:18 G729/8000",
        "a=rtpmap:100 telephone-event/8000", "a=fmtp:18 annexb=no", "c=IN IP4 127.0.0.1"}},
      // Nothing in common: port 0 and the offered formats echoed.
      {"rejected",
       kNothingInCommon,
       0,
       {"m=audio 0 RTP/AVP 98 4", "a=rtpmap:98 iLBC/8000", "a=rtpmap:4 G723/8000",
        "c=IN IP4 127.0.0.1"}},
  };
  for (const Row& row : rows) {
    LONG channel = Reserve();
    auto offer = ParseSdp(row.offer);
    auto answer = SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
    ASSERT_EQ(Answer(offer.Get(), row.index, channel, answer.Get()), S_OK) << row.name;
    EXPECT_EQ(WrittenLine(*answer, 0), row.expected) << row.name;
    bool rejected = row.expected.front().starts_with("m=audio 0");
    EXPECT_EQ(Channel(channel).receivePort == 0, rejected) << row.name;
  }
}

TEST_F(OfferAnswerTest, AnyCommonFormatRefusesVideoMissingLinesAndAnUninitialisedHandler) {
  auto offer = ParseSdp(kRfc4317AudioVideo);
  VARIANT_BOOL any = VARIANT_TRUE;
  ASSERT_EQ(handler_->AnyCommonFormat(offer.Get(), 1, &any), S_OK);
  EXPECT_EQ(any, VARIANT_FALSE);
  EXPECT_EQ(handler_->AnyCommonFormat(offer.Get(), 2, &any), E_INVALIDARG);  // no such line
  BSTR address = nullptr;  // the other methods' Init rule is checked with the component
  EXPECT_EQ(CGipsMediaHandler::Create()->GetLocalAddress(&address), E_UNEXPECTED);
}

TEST_F(OfferAnswerTest, OfferListsTheLocalCodecsAndRejectsWhenTerminated) {
  LONG channel = Reserve();
  ASSERT_EQ(Offer(channel, out_.Get()), S_OK);
  // The lines of the softphone's answer, with the engine's own AMR-WB number.
  const Strings offered = {"m=audio P RTP/AVP 9 97 0 8 18 101",
                           "a=rtpmap:9 G722/8000",
                           "a=rtpmap:97 AMR-WB/16000",
                           "a=rtpmap:0 PCMU/8000",
                           "a=rtpmap:8 PCMA/8000",
                           "a=rtpmap:18 G729/8000",
                           "a=rtpmap:101 telephone-event/8000",
                           "a=fmtp:18 annexb=no",
                           "c=IN IP4 127.0.0.1"};
  EXPECT_EQ(WrittenLine(*out_, 0), offered);
  EXPECT_GE(Channel(channel).receivePort, 40000);

  state_->SetLocalMediaDirection(CT_MEDIA_SENDONLY);  // hold writes no direction
  state_->SetTerminated(VARIANT_TRUE);
  ASSERT_EQ(Offer(channel, out_.Get()), S_OK);
  Strings terminated = offered;
  terminated.front() = "m=audio 0 RTP/AVP 9 97 0 8 18 101";
  EXPECT_EQ(WrittenLine(*out_, 1), terminated);
  EXPECT_EQ(Channel(channel).receivePort, 0);

  EXPECT_EQ(handler_->AddOfferMediaDescription(CT_MEDIA_VIDEO, state_.Get(), out_.Get()),
            E_INVALIDARG);
  EXPECT_EQ(Offer(channel + 100, out_.Get()), E_INVALIDARG);
  EXPECT_EQ(out_->Session().media.size(), 2u);  // nothing written by the failures
}

TEST_F(OfferAnswerTest, SilenceSuppressionOffersComfortNoiseAndAnnexB) {
  StartHandler({"G729", "CN"}, VARIANT_TRUE);
  ASSERT_EQ(Offer(Reserve(), out_.Get()), S_OK);
  EXPECT_EQ(WrittenLine(*out_, 0),
            (Strings{"m=audio P RTP/AVP 18 13", "a=rtpmap:18 G729/8000", "a=rtpmap:13 CN/8000",
                     "a=fmtp:18 annexb=yes", "c=IN IP4 127.0.0.1"}));
}

TEST_F(OfferAnswerTest, DynamicNumbersStayWithTheChannelThroughReofferAndReanswer) {
  LONG channel = Reserve();
  auto answer = SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  ASSERT_EQ(Answer(ParseSdp(kSoftphone).Get(), 0, channel, answer.Get()), S_OK);
  std::uint16_t port = Channel(channel).receivePort;

  ASSERT_EQ(Offer(channel, out_.Get()), S_OK);  // engine's AMR-WB is 97, the call's 96
  EXPECT_EQ(WrittenLine(*out_, 0).front(), "m=audio P RTP/AVP 9 96 0 8 18 101");

  std::string second = kSoftphone;
  second.replace(second.find("96 97 101"), 9, "112 97 100");
  second.replace(second.find("rtpmap:96"), 9, "rtpmap:112");
  second.replace(second.find("rtpmap:101"), 10, "rtpmap:100");
  ASSERT_EQ(Answer(ParseSdp(second).Get(), 0, channel, answer.Get()), S_OK);
  EXPECT_EQ(WrittenLine(*answer, 1).front(), "m=audio P RTP/AVP 9 96 0 8 18 101");
  EXPECT_EQ(Channel(channel).receivePort, port);

  // Another channel starts afresh.
  ASSERT_EQ(Offer(Reserve(), out_.Get()), S_OK);
  EXPECT_EQ(WrittenLine(*out_, 1).front(), "m=audio P RTP/AVP 9 97 0 8 18 101");
}

TEST_F(OfferAnswerTest, RememberedNumbersExceptForH264) {
  LONG channel = Reserve();
  auto list = [](LONG amr, LONG h264, LONG pcmu) {
    return PayloadTypeList{PayloadType(amr, MEDLEY_OLESTR("AMR"), 1, 8000, 1),
                           PayloadType(h264, MEDLEY_OLESTR("H264"), 2, 90000, 1),
                           PayloadType(pcmu, MEDLEY_OLESTR("PCMU"), 1, 8000, 1)};
  };
  PayloadTypeList first = list(96, 99, 0), second = list(120, 121, 97), third = list(-1, -1, 5);
  ASSERT_EQ(handler_->RememberPayloadNumbers(channel, &first), S_OK);
  ASSERT_EQ(handler_->RememberPayloadNumbers(channel, &second), S_OK);
  EXPECT_EQ(DescribeAll(second), (Strings{"96 AMR/8000/1", "121 H264/90000/1 kind2",
                                          "97 PCMU/8000/1"}));         // PCMU 97 is dynamic now
  ASSERT_EQ(handler_->RememberPayloadNumbers(channel, &third), S_OK);  // -1 is dynamic too
  EXPECT_EQ(DescribeAll(third),
            (Strings{"96 AMR/8000/1", "4294967295 H264/90000/1 kind2", "5 PCMU/8000/1"}));
  EXPECT_EQ(handler_->RememberPayloadNumbers(channel + 1, &third), E_INVALIDARG);
}

// Each host failure on the way is returned unchanged.
TEST_F(OfferAnswerTest, HostFailuresArePassedOn) {
  auto offer = ParseSdp(kSoftphone);
  struct Row {
    const char* member;
    std::function<void(HRESULT)> fail;
  };
  const HRESULT code = static_cast<HRESULT>(0x80041234u);
  const Row rows[] = {
      {"GetMedia", [&](HRESULT c) { offer->SimulateError("GetMedia", c, 1); }},
      {"GetMediaAttribute", [&](HRESULT c) { offer->SimulateError("GetMediaAttribute", c, 3); }},
      {"AddMedia", [&](HRESULT c) { out_->SimulateError("AddMedia", c); }},
      {"AddMediaAttribute", [&](HRESULT c) { out_->SimulateError("AddMediaAttribute", c, 2); }},
      {"PutMediaConnection", [&](HRESULT c) { out_->SimulateError("PutMediaConnection", c); }},
      {"get_ConnectionType",
       [&](HRESULT c) { network_->SimulateError("get_ConnectionType", c, 1); }},
      {"get_PreferredAudioRtpPort",
       [&](HRESULT c) { network_->SimulateError("get_PreferredAudioRtpPort", c); }},
      {"get_Terminated", [&](HRESULT c) { state_->SimulateError("get_Terminated", c); }},
      {"get_AnswerMediaDirection",
       [&](HRESULT c) { state_->SimulateError("get_AnswerMediaDirection", c); }},
  };
  for (const Row& row : rows) {
    row.fail(code);
    EXPECT_EQ(Answer(offer.Get(), 0, Reserve(), out_.Get()), code) << row.member;
    row.fail(S_OK);
  }
  EXPECT_EQ(handler_->AnyCommonFormat(nullptr, 0, nullptr), E_POINTER);
  EXPECT_EQ(handler_->AddAnswerMediaDescription(offer.Get(), 0, nullptr, out_.Get()), E_POINTER);
  EXPECT_EQ(handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state_.Get(), nullptr), E_POINTER);
}

}  // namespace
}  // namespace media_test
