#include "engine/standin/standin_codec.h"

#include <new>
#include <string_view>

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/standin_engine.h"

namespace standin {
namespace {

bool IsPayloadType(int payloadType) { return payloadType >= 0 && payloadType <= 127; }

// The telephone-event clock rates accepted, in Hz.
constexpr int kMinEventClockRate = 1000;
constexpr int kMaxEventClockRate = 192000;

}  // namespace

int StandInCodec::NumOfCodecs() { return CodecCatalogue::Count(); }

int StandInCodec::GetCodec(int index, EngineCodecRecord& codec) {
  const EngineCodecRecord* entry = CodecCatalogue::At(index);
  if (!entry) return engine_.Fail(kCodecIndexOutOfRange);
  codec = *entry;
  return 0;
}

int StandInCodec::SetSendCodec(int channel, const EngineCodecRecord& codec) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  std::string_view name;
  if (!CodecCatalogue::NameOf(codec, &name) || !IsPayloadType(codec.payloadType))
    return engine_.Fail(kInvalidArgument);
  const EngineCodecRecord* entry = CodecCatalogue::Find(name, codec.frequency);
  if (!entry || !CodecCatalogue::CanSend(*entry)) return engine_.Fail(kUnsupportedCodec);
  if (!CodecCatalogue::Describe(entry)->AllowsPacketTicks(codec.packetSize))
    return engine_.Fail(kInvalidPacketSize);
  // The media core refuses a codec this build has no encoder for.
  const int error = engine_.Media().WithChannel(
      channel, [&](MediaChannel& media) { return media.SetSendCodec(codec); });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInCodec::SetRecPayloadType(int channel, const EngineCodecRecord& codec) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  std::string_view name;
  if (!CodecCatalogue::NameOf(codec, &name) || !IsPayloadType(codec.payloadType))
    return engine_.Fail(kInvalidArgument);
  const EngineCodecRecord* entry = CodecCatalogue::Find(name, codec.frequency);
  if (!entry) return engine_.Fail(kUnsupportedCodec);
  // Telephone events run on the clock their payload was announced with
  // (telephone-event/8000 beside a 16 kHz codec counts 8000 ticks a
  // second), in both directions; until then on 8000 Hz.
  const bool events = entry == CodecCatalogue::Find("telephone-event", 8000);
  if (events && (codec.frequency < kMinEventClockRate || codec.frequency > kMaxEventClockRate))
    return engine_.Fail(kInvalidArgument);
  // Everything is checked: the announcement is the one step that can fail
  // (out of memory, changing nothing); the clock rate follows it.
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    try {
      media.AnnouncePayloadType(codec.payloadType, entry);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    if (events) media.SetEventClockRate(codec.frequency);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInCodec::SetVADStatus(int channel, int enable, int mode, int) {
  if (!engine_.ChannelOrFail(channel)) return -1;
  const int error = engine_.Media().WithChannel(channel, [&](MediaChannel& media) {
    media.SetVad(enable != 0, mode);
    return kNoError;
  });
  if (error != kNoError) return engine_.Fail(error);
  return 0;
}

int StandInCodec::Release() { return engine_.ReleaseReference(references_); }

}  // namespace standin
