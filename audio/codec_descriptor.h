// The handler's codec record, and its conversion to and from the engine's
// 52-byte record.
#pragma once

#include "engine/engine_codec_record.h"
#include "medley/com_base.h"
#include "platform/wide_text.h"

// Codec names that negotiation treats specially. SDP spells AMR wideband
// "AMR-WB", the engine "AMRWB".
inline constexpr platform::OleStringView kCodecNameAmrWbSdp = MEDLEY_OLESTR("AMR-WB");
inline constexpr platform::OleStringView kCodecNameAmrWbEngine = MEDLEY_OLESTR("AMRWB");
inline constexpr platform::OleStringView kCodecNameComfortNoise = MEDLEY_OLESTR("CN");
inline constexpr platform::OleStringView kCodecNameTelephoneEvent =
    MEDLEY_OLESTR("telephone-event");

// The engine's name for a codec that SDP names `sdpName`: "AMR-WB" (exact
// spelling) becomes "AMRWB"; every other name is its own.
constexpr platform::OleStringView EngineCodecName(platform::OleStringView sdpName) {
  return sdpName == kCodecNameAmrWbSdp ? kCodecNameAmrWbEngine : sdpName;
}

// Copies duplicate the name; destruction frees it. A null name reads as "".
struct CodecDescriptor {
  LONG payloadType = 0;
  BSTR name = nullptr;
  LONG frequency = 0;   // Hz
  LONG packetSize = 0;  // samples per packet
  LONG channels = 0;
  LONG rate = 0;  // bit/s

  CodecDescriptor() = default;
  CodecDescriptor(LONG payloadType, platform::OleStringView name, LONG frequency, LONG packetSize,
                  LONG channels, LONG rate);
  CodecDescriptor(const CodecDescriptor& other);
  CodecDescriptor(CodecDescriptor&& other) noexcept;
  CodecDescriptor& operator=(CodecDescriptor other) noexcept;
  ~CodecDescriptor();

  platform::OleStringView Name() const;
  // Replaces the name with a new BSTR holding `text`.
  void SetName(platform::OleStringView text);
  // Renames the codec to EngineCodecName of its name, when that differs.
  void UseEngineName();

  // The engine's form: zeros, then the numbers and the name in UTF-8. The
  // record holds at most 31 bytes of name; a longer name is cut at the last
  // whole character that fits (the engine knows no codec of such a name, so
  // it refuses it as it refuses any unknown codec).
  EngineCodecRecord ToEngineRecord() const;
  // The handler's form of an engine record: the name is read up to its NUL
  // (or the end of the field) and widened; invalid UTF-8 becomes U+FFFD.
  static CodecDescriptor FromEngineRecord(const EngineCodecRecord& record);
};
