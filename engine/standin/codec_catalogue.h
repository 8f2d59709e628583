// The stand-in engine's codec list, in engine index order, made from the
// codec descriptions (codecs/codec_description.h). Frequency is the RTP
// clock rate (G722 samples at 16 kHz but its RTP clock runs at 8000);
// packet size is in clock ticks of 20 ms, the packet time offered; rate in
// bit/s (0: no fixed rate).
//
//  index  payload  name             frequency  packet size  channels  rate
//    0       0     PCMU                8000        160          1     64000
//    1       8     PCMA                8000        160          1     64000
//    2       9     G722                8000        160          1     64000
//    3      18     G729                8000        160          1      8000
//    4       3     GSM                 8000        160          1     13200
//    5      96     AMR                 8000        160          1     12200
//    6      97     AMRWB              16000        320          1     23850
//    7      98     IPCMWB             16000        320          1    256000  (uncompressed 16-bit)
//    8      13     CN                  8000        160          1         0
//    9      99     CN                 16000        320          1         0
//   10     101     telephone-event     8000        160          1         0
//
// A send codec may ask for another packet time: G.711, G.722, G.729 and
// IPCMWB any multiple of 10 ms up to 60, GSM, AMR and AMRWB multiples of
// 20 ms up to 60. CN and telephone-event are receive-only helpers: they
// cannot be the send codec. A build lists only the voice codecs it can encode: the Windows
// build, which has no codec libraries, lists PCMU, PCMA and IPCMWB (and the
// two helpers), keeping the order above.
#pragma once

#include <string_view>

#include "engine/engine_codec_record.h"
#include "engine/standin/codecs/codec_description.h"

namespace standin {

class CodecCatalogue {
 public:
  static int Count();
  // Entry `index`, or null outside 0..Count()-1.
  static const EngineCodecRecord* At(int index);
  // The entry named `name` (ASCII case-insensitive), preferring one whose
  // frequency equals `frequency`; null when no entry has the name.
  static const EngineCodecRecord* Find(std::string_view name, int frequency);
  // The description of catalogue entry `entry` (a pointer At or Find gave);
  // null for any other record.
  static const CodecDescription* Describe(const EngineCodecRecord* entry);
  // Whether catalogue entry `entry` carries voice and so can be a send codec.
  static bool CanSend(const EngineCodecRecord& entry);
  // Sets `name` to the record's name; false when the name is not
  // zero-terminated within the record.
  static bool NameOf(const EngineCodecRecord& codec, std::string_view* name);
};

}  // namespace standin
