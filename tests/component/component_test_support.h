// Helpers for the component tests: objects made through the module's entry
// points, the codec preferences a host sets, and compact text forms of the
// media lines the handler writes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/entry_points.h"
#include "host/sdp_document.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"

namespace component_test {

using platform::ComPtr;
using Strings = std::vector<std::string>;

// The class factory from DllGetClassObject.
inline ComPtr<IClassFactory> Factory() {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(DllGetClassObject(CLSID_GipsMediaHandler, IID_IClassFactory, factory.ReceiveVoid()),
            S_OK);
  return factory;
}

// A new handler object from the class factory, as IMediaHandler.
inline ComPtr<IMediaHandler> CreateHandler() {
  ComPtr<IMediaHandler> handler;
  ComPtr<IClassFactory> factory = Factory();
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMediaHandler, handler.ReceiveVoid()), S_OK);
  }
  return handler;
}

// Hands the codec preferences to the handler through IAudioControl, as a
// host does.
inline HRESULT PreferCodecs(IMediaHandler* handler, const Strings& codecs) {
  ComPtr<IAudioControl> audio;
  HRESULT hr = handler->QueryInterface(IID_IAudioControl, audio.ReceiveVoid());
  for (const std::string& codec : codecs) {
    if (FAILED(hr)) return hr;
    platform::BString name(codec);
    hr = audio->AddPreferredAudioFormat(name.Get());
  }
  return hr;
}

inline std::string Narrow(platform::OleStringView text) { return platform::WideToNarrow(text); }

// Media line `index` as written: "m=audio <port> RTP/AVP <formats>", its
// attributes and its connection address.
inline Strings MediaLine(const host::SdpDocument& sdp, size_t index) {
  if (index >= sdp.Session().media.size()) return {"(no line)"};
  const host::SdpMedia& m = sdp.Session().media[index];
  Strings lines = {"m=" + Narrow(m.media) + " " + std::to_string(m.port) + " " +
                   Narrow(m.transport) + " " + Narrow(m.formats)};
  for (const auto& attribute : m.attributes) lines.push_back("a=" + Narrow(attribute));
  if (m.connection) lines.push_back("c=IN IP4 " + Narrow(m.connection->address));
  return lines;
}

inline LONG MediaPort(const host::SdpDocument& sdp, size_t index) {
  return index < sdp.Session().media.size() ? sdp.Session().media[index].port : -1;
}

}  // namespace component_test
