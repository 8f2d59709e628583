// The phone's media of one call over a real handler object: the direction
// an answer carries for each offered direction, and who is on hold.
#include "host/phone_media.h"

#include <gtest/gtest.h>

#include <string>

#include "component/entry_points.h"
#include "host/reference_network.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/bstr.h"
#include "tests/support/free_port.h"

namespace host {
namespace {

platform::ComPtr<IMediaHandler> InitialisedHandler(ReferenceNetwork* network) {
  platform::ComPtr<IClassFactory> factory;
  platform::ComPtr<IMediaHandler> handler;
  if (FAILED(DllGetClassObject(CLSID_GipsMediaHandler, IID_IClassFactory, factory.ReceiveVoid())) ||
      FAILED(factory->CreateInstance(nullptr, IID_IMediaHandler, handler.ReceiveVoid())) ||
      FAILED(handler->Init(network)))
    return nullptr;
  platform::ComPtr<IAudioControl> audio;
  platform::BString pcmu("PCMU");
  if (FAILED(handler.As(&audio)) || FAILED(audio->AddPreferredAudioFormat(pcmu.Get())))
    return nullptr;
  return handler;
}

// The far end's port: free, so that what the call sends reaches no one.
int PeerPort() {
  static const int port = test_support::FreeRtpPort();
  return port;
}

std::string OfferWith(const std::string& extra, const std::string& address = "127.0.0.1") {
  return "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 " + address + "\r\nt=0 0\r\nm=audio " +
         std::to_string(PeerPort()) + " RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n" + extra;
}

TEST(PhoneMedia, AnswersEachOfferedDirection) {
  struct Row {
    std::string offer;
    const char* answered;  // the direction attribute of the answer; "" for none
    bool held;
  };
  const Row rows[] = {
      {OfferWith(""), "", false},
      {OfferWith("a=sendrecv\r\n"), "", false},
      {OfferWith("a=sendonly\r\n"), "a=recvonly", true},
      {OfferWith("a=inactive\r\n"), "a=inactive", true},
      {OfferWith("a=recvonly\r\n"), "a=sendonly", false},
      {OfferWith("", "0.0.0.0"), "a=recvonly", true},
  };
  platform::ComPtr<ReferenceNetwork> network = ReferenceNetwork::Create();
  // The port search starts at a free port rather than at the default, which
  // another copy of this test may be taking at the same moment.
  network->Settings().preferred_audio_rtp_port = test_support::FreeRtpPort();
  platform::ComPtr<IMediaHandler> handler = InitialisedHandler(network.Get());
  ASSERT_TRUE(handler);
  PhoneMedia media(handler.Get(), "127.0.0.1");
  for (const Row& row : rows) {  // one call, offered again and again
    PhoneAnswer answer = media.Answer(row.offer);
    ASSERT_EQ(answer.status, 200) << row.offer;
    for (const char* direction : {"a=recvonly", "a=sendonly", "a=inactive", "a=sendrecv"})
      EXPECT_EQ(answer.sdp.find(direction) != std::string::npos,
                std::string(direction) == row.answered)
          << direction << " in\n"
          << answer.sdp;
    EXPECT_EQ(media.Held(), row.held) << row.offer;
    EXPECT_EQ(media.Codec(), "PCMU/8000");
  }
  const LONG channel = media.Channel();
  media.Stop();
  EXPECT_EQ(handler->ReleaseChannel(channel), S_FALSE) << "the channel was released";
}

}  // namespace
}  // namespace host
