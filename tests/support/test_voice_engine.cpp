#include "tests/support/test_voice_engine.h"

#include <algorithm>
#include <cstring>

#include "tests/support/test_engine_recording.h"

using test_engine_detail::OperationOf;

const char* TestVoiceEngine::InterfaceName(Interface which) {
  static constexpr const char* kNames[kInterfaceCount] = {
      "GIPSVEBase",     "GIPSVECodec",     "GIPSVEVQE",     "GIPSVEFile", "GIPSVEVolumeControl",
      "GIPSVEHardware", "GIPSVEVideoSync", "GIPSVENetwork", "GIPSVEDTMF"};
  return kNames[static_cast<int>(which)];
}

EngineCodecRecord TestVoiceEngine::MakeCodec(int payloadType, std::string_view name, int frequency,
                                             int packetSize, int channels, int rate) {
  EngineCodecRecord codec;
  std::memset(&codec, 0, sizeof codec);
  codec.payloadType = payloadType;
  std::memcpy(codec.name, name.data(),
              std::min<size_t>(name.size(), EngineCodecRecord::kNameSize - 1));
  codec.frequency = frequency;
  codec.packetSize = packetSize;
  codec.channels = channels;
  codec.rate = rate;
  return codec;
}

std::vector<EngineCodecRecord> TestVoiceEngine::DefaultCodecs() {
  return {MakeCodec(0, "PCMU", 8000, 160, 1, 64000), MakeCodec(8, "PCMA", 8000, 160, 1, 64000),
          MakeCodec(97, "AMRWB", 16000, 320, 1, 23850), MakeCodec(13, "CN", 8000, 160, 1, 0),
          MakeCodec(101, "telephone-event", 8000, 160, 1, 0)};
}

TestVoiceEngine::Channel* TestVoiceEngine::FindChannel(int channel) {
  auto it = state_.channels.find(channel);
  return it == state_.channels.end() ? nullptr : &it->second;
}

std::vector<std::string> TestVoiceEngine::CallsTo(std::string_view operation) const {
  std::vector<std::string> found;
  for (const std::string& call : calls_)
    if (OperationOf(call) == operation) found.push_back(call);
  return found;
}

size_t TestVoiceEngine::CountOf(std::string_view operation) const {
  return CallsTo(operation).size();
}

std::vector<std::string> TestVoiceEngine::CallsWithout(std::string_view operation) const {
  std::vector<std::string> kept;
  for (const std::string& call : calls_)
    if (OperationOf(call) != operation) kept.push_back(call);
  return kept;
}

void TestVoiceEngine::FailNext(std::string_view what, int lastError) {
  failNext_.emplace(std::string(what), lastError);
}

void TestVoiceEngine::FailAlways(std::string_view what, int lastError) {
  failAlways_[std::string(what)] = lastError;
}

void TestVoiceEngine::ClearFailures() {
  failNext_.clear();
  failAlways_.clear();
}

bool TestVoiceEngine::RecordAndCheckFailure(const std::string& call) {
  Record(call);
  for (std::string_view key : {std::string_view(call), OperationOf(call)}) {
    if (auto once = failNext_.find(key); once != failNext_.end()) {
      Fail(once->second);
      failNext_.erase(once);
      return true;
    }
  }
  for (std::string_view key : {std::string_view(call), OperationOf(call)}) {
    if (auto always = failAlways_.find(key); always != failAlways_.end()) {
      Fail(always->second);
      return true;
    }
  }
  return false;
}
