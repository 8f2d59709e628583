#include "host/sdp_document.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/host/host_test_text.h"

namespace host {
namespace {

constexpr const char* kOffer =
    "v=0\r\n"
    "o=- 1716230400 1716230400 IN IP4 192.168.1.20\r\n"
    "s=-\r\n"
    "c=IN IP4 192.168.1.20\r\n"
    "t=0 0\r\n"
    "a=group:LS 1\r\n"
    "m=audio 49170/2 RTP/AVP 0 8 101\r\n"
    "a=rtpmap:101 telephone-event/8000\r\n"
    "a=ptime:20\r\n"
    "m=Video 0 RTP/AVP 34\r\n"
    "c=IN IP4 192.168.1.21\r\n";

platform::ComPtr<SdpDocument> ParseOffer() {
  SdpDocumentParseResult parsed = SdpDocument::Parse(std::string_view(kOffer));
  EXPECT_TRUE(parsed.Ok()) << parsed.ErrorMessage();
  return std::move(parsed).Value();
}

TEST(SdpDocument, GetMediaReadsEveryLineAndFailsPastTheLast) {
  auto document = ParseOffer();
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  LONG port = -5;
  BSTR transport = nullptr, formats = nullptr;
  ASSERT_EQ(document->GetMedia(0, &type, &port, &transport, &formats), S_OK);
  EXPECT_EQ(type, CT_MEDIA_AUDIO);
  EXPECT_EQ(port, 49170);
  EXPECT_EQ(TakeText(transport), "RTP/AVP");
  EXPECT_EQ(TakeText(formats), "0 8 101");

  // The offer has two lines; "Video" is matched whatever its case.
  ASSERT_EQ(document->GetMedia(1, &type, &port, &transport, &formats), S_OK);
  EXPECT_EQ(type, CT_MEDIA_VIDEO);
  SysFreeString(transport);
  SysFreeString(formats);
  for (LONG index : {LONG{2}, LONG{-1}, LONG{0x7FFFFFFF}, LONG{-0x7FFFFFFF - 1}}) {
    EXPECT_EQ(document->GetMedia(index, &type, &port, &transport, &formats), E_INVALIDARG) << index;
    EXPECT_EQ(transport, nullptr);
    EXPECT_EQ(formats, nullptr);
  }
  EXPECT_EQ(document->GetMedia(0, nullptr, &port, &transport, &formats), E_POINTER);
  EXPECT_EQ(document->GetMedia(0, &type, &port, &transport, nullptr), E_POINTER);
  EXPECT_EQ(transport, nullptr);  // cleared, nothing leaked
}

TEST(SdpDocument, MediaWordsMapToTypesBothWays) {
  struct Row {
    const char* word;
    CT_MEDIA_TYPE type;
  };
  const Row rows[] = {
      {"audio", CT_MEDIA_AUDIO},  {"video", CT_MEDIA_VIDEO},  {"application", CT_MEDIA_APPLICATION},
      {"message", CT_MEDIA_MSRP}, {"text", CT_MEDIA_UNKNOWN}, {"image", CT_MEDIA_UNKNOWN},
      {"AUDIO", CT_MEDIA_AUDIO}};
  for (const Row& row : rows) {
    std::string text = std::string("v=0\r\nm=") + row.word + " 9 RTP/AVP 0\r\n";
    auto document = SdpDocument::Parse(std::string_view(text)).Value();
    CT_MEDIA_TYPE type = CT_MEDIA_AUDIO;
    LONG port = 0;
    BSTR transport = nullptr, formats = nullptr;
    ASSERT_EQ(document->GetMedia(0, &type, &port, &transport, &formats), S_OK);
    TakeText(transport);
    TakeText(formats);
    EXPECT_EQ(type, row.type) << row.word;
    EXPECT_EQ(document->Print(), text);  // the original word is printed

    LONG index = -1;
    HRESULT added = document->AddMedia(row.type, 9, Text("RTP/AVP").Get(), nullptr, &index);
    if (row.type == CT_MEDIA_UNKNOWN) {
      EXPECT_EQ(added, E_INVALIDARG) << "no word to write for an unknown type";
    } else {
      ASSERT_EQ(added, S_OK);
      EXPECT_EQ(index, 1);
      EXPECT_EQ(MediaTypeFromWord(document->Session().media[1].media), row.type);
    }
  }
  EXPECT_EQ(MediaWordFor(CT_MEDIA_MSRP), platform::AsciiToWide("message"));
}

TEST(SdpDocument, PutMediaRewritesTheLineAndKeepsItsSection) {
  auto document = ParseOffer();
  EXPECT_EQ(
      document->PutMedia(0, CT_MEDIA_AUDIO, 50000, Text("RTP/SAVP").Get(), Text(" 0   8 ").Get()),
      S_OK);
  EXPECT_EQ(document->PutMedia(1, CT_MEDIA_APPLICATION, 0, Text("UDP").Get(), Text("x").Get()),
            S_OK);
  std::string printed = document->Print();
  EXPECT_NE(printed.find("m=audio 50000/2 RTP/SAVP 0 8\r\na=rtpmap:101"), std::string::npos);
  EXPECT_NE(printed.find("m=application 0 UDP x\r\nc=IN IP4 192.168.1.21\r\n"), std::string::npos);

  struct Row {
    const char* what;
    LONG index;
    CT_MEDIA_TYPE type;
    LONG port;
    const char* transport;
  };
  const Row refused[] = {
      {"index", 2, CT_MEDIA_AUDIO, 1, "RTP/AVP"},
      {"type 3", 0, CT_MEDIA_TYPE(3), 1, "RTP/AVP"},
      {"unknown type", 0, CT_MEDIA_UNKNOWN, 1, "RTP/AVP"},
      {"port", 0, CT_MEDIA_AUDIO, 65536, "RTP/AVP"},
      {"negative port", 0, CT_MEDIA_AUDIO, -1, "RTP/AVP"},
      {"empty transport", 0, CT_MEDIA_AUDIO, 1, ""},
      {"spaced transport", 0, CT_MEDIA_AUDIO, 1, "RTP AVP"},
  };
  for (const Row& row : refused)
    EXPECT_EQ(document->PutMedia(row.index, row.type, row.port, Text(row.transport).Get(), nullptr),
              E_INVALIDARG)
        << row.what;
  EXPECT_EQ(document->Print(), printed);  // refused puts change nothing
}

TEST(SdpDocument, IndexedMembersRefuseIndexesOutOfRange) {
  auto document = ParseOffer();
  BSTR text = nullptr;
  LONG count = 0;
  platform::BString any = Text("x");
  struct Row {
    const char* what;
    std::function<HRESULT()> call;
  };
  const Row rows[] = {
      {"GetTimeInformation", [&] { return document->GetTimeInformation(1, &text, &count); }},
      {"GetRepeatTimeCount", [&] { return document->GetRepeatTimeCount(-1, &count); }},
      {"GetRepeatTimeInformation", [&] { return document->GetRepeatTimeInformation(0, 0, &text); }},
      {"GetAttribute", [&] { return document->GetAttribute(1, &text); }},
      {"GetMediaInformation", [&] { return document->GetMediaInformation(2, &text); }},
      {"PutMediaInformation", [&] { return document->PutMediaInformation(-1, any.Get()); }},
      {"GetMediaConnection", [&] { return document->GetMediaConnection(2, &text, &text, &text); }},
      {"GetMediaBandwidth", [&] { return document->GetMediaBandwidthInformation(9, &text); }},
      {"GetMediaKey", [&] { return document->GetMediaEncryptionKey(2, &text); }},
      {"GetMediaAttribute", [&] { return document->GetMediaAttribute(0, 2, &text); }},
      {"GetMediaAttribute -1", [&] { return document->GetMediaAttribute(0, -1, &text); }},
      {"AddMediaAttribute", [&] { return document->AddMediaAttribute(2, any.Get()); }},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.call(), E_INVALIDARG) << row.what;
    EXPECT_EQ(text, nullptr) << row.what;
  }
}

TEST(SdpDocument, NullOutPointersGiveEPointer) {
  auto document = ParseOffer();
  BSTR text = nullptr;
  LONG count = 0;
  const std::function<HRESULT()> calls[] = {
      [&] { return document->get_ProtocolVersion(nullptr); },
      [&] { return document->GetOrigin(&text, &text, &text, &text, &text, nullptr); },
      [&] { return document->GetConnection(nullptr, &text, &text); },
      [&] { return document->get_TimeDescriptionCount(nullptr); },
      [&] { return document->GetTimeInformation(0, nullptr, &count); },
      [&] { return document->AddTimeInformation(Text("0 0").Get(), nullptr); },
      [&] { return document->GetRepeatTimeInformation(0, 0, nullptr); },
      [&] { return document->GetAttribute(0, nullptr); },
      [&] {
        return document->AddMedia(CT_MEDIA_AUDIO, 1, Text("RTP/AVP").Get(), nullptr, nullptr);
      },
      [&] { return document->GetMediaConnection(0, &text, nullptr, &text); },
      [&] { return document->GetMediaAttributeCount(0, nullptr); },
      [&] { return document->GetMediaAttribute(0, 0, nullptr); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_EQ(calls[i](), E_POINTER) << "call " << i;
    EXPECT_EQ(text, nullptr) << "call " << i;
  }
  EXPECT_EQ(document->Session().media.size(), 2u);
  EXPECT_EQ(document->Session().times.size(), 1u);
}

TEST(SdpDocument, TextPropertiesSetReadAndRemoveTheirLines) {
  using Put = HRESULT (ISdpContent::*)(BSTR);
  using Get = HRESULT (ISdpContent::*)(BSTR*);
  struct Row {
    Put put;
    Get get;
    const char* line;  // as printed
  };
  const Row rows[] = {
      {&ISdpContent::put_SessionName, &ISdpContent::get_SessionName, "s="},
      {&ISdpContent::put_SessionInformation, &ISdpContent::get_SessionInformation, "i="},
      {&ISdpContent::put_BandwidthInformation, &ISdpContent::get_BandwidthInformation, "b="},
      {&ISdpContent::put_TimeZoneAdjustments, &ISdpContent::get_TimeZoneAdjustments, "z="},
      {&ISdpContent::put_EncryptionKey, &ISdpContent::get_EncryptionKey, "k="},
  };
  for (const Row& row : rows) {
    auto document = SdpDocument::Create();
    ISdpContent* content = document.Get();
    BSTR read = nullptr;
    ASSERT_EQ((content->*row.get)(&read), S_OK) << row.line;
    EXPECT_EQ(TakeText(read), "") << "absent lines read as empty text";
    ASSERT_EQ((content->*row.put)(Text("Value 1  ").Get()), S_OK);
    ASSERT_EQ((content->*row.get)(&read), S_OK);
    EXPECT_EQ(TakeText(read), "Value 1");
    EXPECT_EQ(document->Print(), std::string("v=0\r\n") + row.line + "Value 1\r\n");
    EXPECT_EQ((content->*row.put)(Text("a\r\nm=audio 1 x 0").Get()), E_INVALIDARG) << row.line;
    ASSERT_EQ((content->*row.put)(nullptr), S_OK);
    EXPECT_EQ(document->Print(), "v=0\r\n") << row.line;
  }
}

TEST(SdpDocument, OriginConnectionTimesAndAttributes) {
  auto document = SdpDocument::Create();
  platform::BString ip = Text("IP4");
  EXPECT_EQ(document->PutOrigin(Text("alice").Get(), Text("1").Get(), Text("2").Get(),
                                Text("IN").Get(), ip.Get(), Text("192.0.2.1").Get()),
            S_OK);
  EXPECT_EQ(document->PutOrigin(Text("a b").Get(), Text("1").Get(), Text("2").Get(),
                                Text("IN").Get(), ip.Get(), Text("h").Get()),
            E_INVALIDARG);
  EXPECT_EQ(document->PutConnection(Text("IN").Get(), ip.Get(), Text("192.0.2.1").Get()), S_OK);
  EXPECT_EQ(document->PutConnection(Text("IN").Get(), nullptr, Text("h").Get()), E_INVALIDARG);
  LONG index = -1, count = -1;
  EXPECT_EQ(document->AddTimeInformation(Text("0 0").Get(), &index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(document->AddTimeInformation(Text("0").Get(), &index), E_INVALIDARG);
  EXPECT_EQ(document->AddRepeatTimeInformation(0, Text("7d 1h 0 25h").Get()), S_OK);
  EXPECT_EQ(document->GetRepeatTimeCount(0, &count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(document->AddAttribute(Text("sendrecv").Get()), S_OK);
  EXPECT_EQ(document->AddAttribute(Text("  ").Get()), E_INVALIDARG);
  EXPECT_EQ(
      document->AddMedia(CT_MEDIA_AUDIO, 40000, Text("RTP/AVP").Get(), Text("0").Get(), &index),
      S_OK);
  EXPECT_EQ(document->AddMediaAttribute(index, Text("rtpmap:0 PCMU/8000").Get()), S_OK);
  EXPECT_EQ(document->PutMediaConnection(index, Text("IN").Get(), ip.Get(), Text("10.0.0.1").Get()),
            S_OK);

  const std::string expected =
      "v=0\r\no=alice 1 2 IN IP4 192.0.2.1\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\nr=7d 1h 0 25h\r\n"
      "a=sendrecv\r\nm=audio 40000 RTP/AVP 0\r\nc=IN IP4 10.0.0.1\r\na=rtpmap:0 PCMU/8000\r\n";
  EXPECT_EQ(document->Print(), expected);
  auto reread = SdpDocument::Parse(std::string_view(expected)).Value();
  EXPECT_EQ(reread->Session(), document->Session());

  BSTR parts[6] = {};
  ASSERT_EQ(document->GetOrigin(&parts[0], &parts[1], &parts[2], &parts[3], &parts[4], &parts[5]),
            S_OK);
  EXPECT_EQ(TakeText(parts[0]) + TakeText(parts[1]) + TakeText(parts[2]) + TakeText(parts[3]) +
                TakeText(parts[4]) + TakeText(parts[5]),
            "alice12INIP4192.0.2.1");
  // A media line without c= reads as empty, so a host falls back to the session's.
  EXPECT_EQ(document->PutMediaConnection(index, nullptr, nullptr, nullptr), S_OK);
  ASSERT_EQ(document->GetMediaConnection(index, &parts[0], &parts[1], &parts[2]), S_OK);
  EXPECT_EQ(TakeText(parts[0]) + TakeText(parts[1]) + TakeText(parts[2]), "");
}

TEST(SdpDocument, OutgoingDocumentsStartWithSaneDefaults) {
  EXPECT_EQ(SdpDocument::CreateOutgoing("192.0.2.1", 42, 7)->Print(),
            "v=0\r\no=- 42 7 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n");
  EXPECT_EQ(SdpDocument::CreateOutgoing("2001:db8::1", 1, 1)->Print(),
            "v=0\r\no=- 1 1 IN IP6 2001:db8::1\r\ns=-\r\nc=IN IP6 2001:db8::1\r\nt=0 0\r\n");
  auto clocked = SdpDocument::CreateOutgoing("10.0.0.1");
  EXPECT_GT(std::stoull(platform::WideToNarrow(clocked->Session().origin->session_id)),
            3900000000ull);  // seconds since 1900, after 2023
  EXPECT_EQ(SdpDocument::Create()->Print(), "v=0\r\n");
}

TEST(SdpDocument, ParseRefusesWithAReasonAndSimulatedErrorsPassThrough) {
  SdpDocumentParseResult refused = SdpDocument::Parse(std::string_view("v=0\nm=audio x RTP/AVP 0"));
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.ErrorMessage(), "line 2: m= port is not a number from 0 to 65535");

  auto document = ParseOffer();
  const HRESULT kFailure = static_cast<HRESULT>(0x80040AAAu);
  document->SimulateError("AddMediaAttribute", kFailure, 1);
  EXPECT_EQ(document->AddMediaAttribute(0, Text("a").Get()), S_OK);
  EXPECT_EQ(document->AddMediaAttribute(0, Text("b").Get()), kFailure);
  EXPECT_EQ(document->Session().media[0].attributes.size(), 3u);
  EXPECT_EQ(document->CallCount("AddMediaAttribute"), 2);

  void* other = &document;
  EXPECT_EQ(document->QueryInterface(IID_IMediaState, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

}  // namespace
}  // namespace host
