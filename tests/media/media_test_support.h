// Helpers for the media handler tests: a handler initialised on a reference
// network, SDP texts parsed by the reference host, and compact text forms of
// payload formats and written media lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"
#include "media/gips_media_handler.h"
#include "platform/bstr.h"

namespace media_test {

using host::SdpDocument;
using platform::ComPtr;

inline std::string Narrow(platform::OleStringView text) { return platform::WideToNarrow(text); }

// SDP text with LF line ends; the reference host accepts them.
inline ComPtr<SdpDocument> ParseSdp(std::string_view text) {
  auto parsed = SdpDocument::Parse(text);
  if (!parsed.Ok()) {
    ADD_FAILURE() << parsed.ErrorMessage();
    return SdpDocument::Create();
  }
  return std::move(parsed).Value();
}

// "97 AMR-WB/16000/1"; video formats add " video", " br=N" and their first
// size "176x144@25 QCIF" with the count of further sizes.
inline std::string Describe(const PayloadType& f) {
  std::string text = std::to_string(f.Number()) + " " + Narrow(f.encodingName) + "/" +
                     std::to_string(f.clockRate) + "/" + std::to_string(f.channels);
  if (f.mediaKind != kMediaKindAudio) text += " kind" + std::to_string(f.mediaKind);
  if (f.videoMaxBitRate != 0) text += " br=" + std::to_string(f.videoMaxBitRate);
  if (!f.videoSizes.empty()) {
    const auto& s = f.videoSizes.front();
    text += " " + std::to_string(s.width) + "x" + std::to_string(s.height) + "@" +
            std::to_string(s.frameRate) + " " + Narrow(s.name);
    if (s.packetizationMode != 0) text += " mode" + std::to_string(s.packetizationMode);
    if (f.videoSizes.size() > 1) text += " +" + std::to_string(f.videoSizes.size() - 1);
  }
  return text;
}

inline std::vector<std::string> DescribeAll(const PayloadTypeList& formats) {
  std::vector<std::string> texts;
  for (const PayloadType& f : formats) texts.push_back(Describe(f));
  return texts;
}

// One written media line: "m=audio <port> RTP/AVP <formats>" with the port
// given as "P" when non-zero (ports depend on what is free), its attributes
// and its connection address.
inline std::vector<std::string> WrittenLine(const SdpDocument& sdp, size_t index) {
  if (index >= sdp.Session().media.size()) return {"(no line)"};
  const host::SdpMedia& m = sdp.Session().media[index];
  std::vector<std::string> lines = {"m=" + Narrow(m.media) + " " + (m.port ? "P" : "0") + " " +
                                    Narrow(m.transport) + " " + Narrow(m.formats)};
  for (const auto& attribute : m.attributes) lines.push_back("a=" + Narrow(attribute));
  if (m.connection) lines.push_back("c=IN IP4 " + Narrow(m.connection->address));
  return lines;
}

// A CGipsMediaHandler initialised on a reference network, preferring
// `preferred` (codec names in order).
class HandlerTest : public testing::Test {
 protected:
  void StartHandler(const std::vector<std::string>& preferred,
                    VARIANT_BOOL silenceSuppression = VARIANT_FALSE) {
    handler_ = CGipsMediaHandler::Create();
    for (const std::string& name : preferred)
      ASSERT_EQ(handler_->AddPreferredAudioFormat(platform::BString(name).Get()), S_OK);
    ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
    // After Init, which applies the default (off).
    handler_->SetSilenceSuppression(silenceSuppression);
  }

  LONG Reserve() {
    LONG channel = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(handler_->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    return channel;
  }

  // Answers line `index` of `offer` on `channel` as a host does: asks
  // AnyCommonFormat first and hands the result over in the media state.
  HRESULT Answer(SdpDocument* offer, LONG index, LONG channel, SdpDocument* answer) {
    VARIANT_BOOL any = VARIANT_FALSE;
    HRESULT hr = handler_->AnyCommonFormat(offer, index, &any);
    if (FAILED(hr)) return hr;
    state_->SetChannelId(channel);
    state_->SetAnyCommonFormat(any);
    return handler_->AddAnswerMediaDescription(offer, index, state_.Get(), answer);
  }

  HRESULT Offer(LONG channel, SdpDocument* offer) {
    state_->SetChannelId(channel);
    return handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state_.Get(), offer);
  }

  ChannelState& Channel(LONG channel) {
    ChannelState* state = nullptr;
    EXPECT_EQ(handler_->GetChannelState(channel, &state), S_OK);
    static ChannelState none;
    return state ? *state : none;
  }

  ComPtr<host::ReferenceNetwork> network_ = host::ReferenceNetwork::Create();
  ComPtr<host::ReferenceMediaState> state_ = host::ReferenceMediaState::Create();
  ComPtr<CGipsMediaHandler> handler_;
  ComPtr<SdpDocument> out_ = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
};

}  // namespace media_test
