// Feeds datagrams, as a peer or an attacker could send them to a channel's
// receive port, to the receiving half of a stand-in engine channel and plays
// the stream out. Every catalogue codec answers to its own payload number,
// the telephone events to one the input chooses, so every decoder, comfort
// noise and the event receiver are reached.
//
// Input: one control byte (the event payload type, and the send codec's
// payload type and catalogue entry), then datagrams, each a 16-bit
// big-endian length and that many bytes. The low two bits of a length's
// first byte say how many 20 ms frames are played out after the datagram.
#include <cstddef>
#include <cstdint>

#include "engine/standin/channel_receiver.h"
#include "engine/standin/codec_catalogue.h"

namespace {

constexpr std::size_t kMaxDatagram = 1500;
constexpr int kFramesAtEnd = 8;

void PlayFrames(standin::ChannelReceiver& receiver, int frames) {
  std::int16_t pcm[320];
  for (int i = 0; i < frames; ++i) {
    const int rate = receiver.PlayoutFrame(pcm);
    if (rate != 8000 && rate != 16000) __builtin_trap();
    receiver.EndFrame();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  standin::ChannelReceiver receiver;
  for (int i = 0; i < standin::CodecCatalogue::Count(); ++i) {
    const EngineCodecRecord* entry = standin::CodecCatalogue::At(i);
    receiver.AnnouncePayloadType(entry->payloadType, entry);
  }
  const unsigned control = data[0];
  receiver.SetEventPayloadType(96 + static_cast<int>(control & 31));
  const EngineCodecRecord* send = standin::CodecCatalogue::At(static_cast<int>(control >> 5) %
                                                              standin::CodecCatalogue::Count());
  receiver.SetSendPayloadType(static_cast<int>(control & 0x7F), send);

  std::size_t at = 1;
  while (at + 2 <= size) {
    const std::size_t length = (static_cast<std::size_t>(data[at] & 0x07) << 8) | data[at + 1];
    const int frames = data[at] >> 6;
    at += 2;
    const std::size_t available = size - at < length ? size - at : length;
    if (available <= kMaxDatagram)
      receiver.OnDatagram(data + at, available, (data[at - 2] & 0x08) == 0);
    at += available;
    PlayFrames(receiver, frames);
  }
  PlayFrames(receiver, kFramesAtEnd);
  if (receiver.Events().Events().size() > standin::TelephoneEventReceiver::kKept) __builtin_trap();
  receiver.ResetStream();
  PlayFrames(receiver, 1);
  return 0;
}
