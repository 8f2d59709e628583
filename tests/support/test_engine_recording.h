// How the test voice engine records a call: the text of an operation with
// its arguments ("SetSendCodec(0,{0,PCMU,8000,160,1,64000})"), and the base
// of its nine interfaces (reference count, recording, forced failures,
// channel lookup). Internal to the test engine.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tests/support/test_voice_engine.h"

namespace test_engine_detail {

using Channel = TestVoiceEngine::Channel;
using Interface = TestVoiceEngine::Interface;

inline std::string_view NameOf(const EngineCodecRecord& codec) {
  const void* end = std::memchr(codec.name, '\0', sizeof codec.name);
  return std::string_view(codec.name,
                          end ? static_cast<const char*>(end) - codec.name : sizeof codec.name);
}

inline void Append(std::string& out, int value) { out += std::to_string(value); }
inline void Append(std::string& out, bool value) { out += value ? "true" : "false"; }
inline void Append(std::string& out, float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  out += text;
}
inline void Append(std::string& out, const char* text) { out += text ? text : "null"; }
inline void Append(std::string& out, const GIPSVEInStream* stream) {
  out += stream ? "stream" : "null";
}
inline void Append(std::string& out, const GIPSVEOutStream* stream) {
  out += stream ? "stream" : "null";
}
inline void Append(std::string& out, const EngineCodecRecord& codec) {
  out += '{';
  Append(out, codec.payloadType);
  out += ',';
  out += NameOf(codec);
  for (int value : {codec.frequency, codec.packetSize, codec.channels, codec.rate}) {
    out += ',';
    Append(out, value);
  }
  out += '}';
}
inline void Append(std::string& out, const EngineCodecRecord* codec) {
  if (codec)
    Append(out, *codec);
  else
    out += "null";
}

template <class... Args>
inline std::string FormatCall(std::string_view operation, const Args&... args) {
  std::string call(operation);
  call += '(';
  bool first = true;
  ((call += first ? "" : ",", first = false, Append(call, args)), ...);
  call += ')';
  return call;
}

inline std::string_view OperationOf(std::string_view call) {
  return call.substr(0, call.find('('));
}

// What every test interface shares: the engine, the reference count, the
// recording of calls and the channel lookup.
struct Counted {
  int references = 0;
};

template <class Contract, Interface kWhich>
class TestInterface : public Contract, public Counted {
 public:
  explicit TestInterface(TestVoiceEngine& engine) : engine_(engine) {}

  int Release() override {
    if (Enter("Release", TestVoiceEngine::InterfaceName(kWhich))) return -1;
    if (references == 0) return engine_.Fail(TestVoiceEngine::kNotHeld);
    return --references;
  }

 protected:
  // Records the call; true when it is to fail.
  template <class... Args>
  bool Enter(std::string_view operation, const Args&... args) {
    return engine_.RecordAndCheckFailure(FormatCall(operation, args...));
  }
  Channel* ChannelOrFail(int channel) {
    Channel* found = engine_.FindChannel(channel);
    if (!found) engine_.Fail(TestVoiceEngine::kUnknownChannel);
    return found;
  }
  TestVoiceEngine::State& state() { return engine_.state(); }

  TestVoiceEngine& engine_;
};

}  // namespace test_engine_detail
