// The stand-in voice engine: a complete implementation of the engine
// contract. The interfaces check their arguments against what the checks
// need to know of each channel (ChannelTable); the media core (MediaEngine)
// keeps every setting and carries the audio: RTP over UDP, codecs, the
// jitter buffer, mixing, sound devices, files.
//
// Rules every interface follows:
// - A failing operation returns -1 and leaves its code (engine/standin/
//   error_codes.h) for LastError; success returns 0 (or the asked value).
// - Operations on a channel answer kUnknownChannel for a number that
//   CreateChannel has not handed out or that was deleted.
// - CreateChannel and Terminate need Init first (kNotInitialised); Init on
//   a started engine succeeds again without effect.
// - SetLocalReceiver refuses a port that another channel receives on, RTP or
//   RTCP (kReceivePortInUse); the caller may retry with another port.
// - StartListen needs SetLocalReceiver, StartSend needs SetSendDestination.
// - The codec list is engine/standin/codec_catalogue.h; send and receive
//   codecs must name one of its codecs.
// - SetLocalReceiver binds the RTP and RTCP ports on its address (every
//   address when it names none); a port the system has given to someone
//   else is kReceivePortInUse as well.
// - A channel plays the RTP of one source only, the peer: the send
//   destination, or the first source that sends (source_filter.h has the
//   rules). Other sources are counted and dropped.
// - StartPlayout answers kSoundDeviceUnavailable when the playback device
//   cannot be opened.
// - The engine is driven from one thread (the adapter's); its own media
//   thread (media_engine.h) runs from the first channel or stream that needs
//   it until the engine is deleted.
#pragma once

#include "engine/gips_voice_engine.h"
#include "engine/standin/channel_table.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/interface_reference.h"
#include "engine/standin/media_engine.h"
#include "engine/standin/standin_base.h"
#include "engine/standin/standin_codec.h"
#include "engine/standin/standin_dtmf.h"
#include "engine/standin/standin_file.h"
#include "engine/standin/standin_hardware.h"
#include "engine/standin/standin_network.h"
#include "engine/standin/standin_video_sync.h"
#include "engine/standin/standin_volume_control.h"
#include "engine/standin/standin_vqe.h"

namespace standin {

class StandInEngine final : public GIPSVoiceEngine {
 public:
  StandInEngine();
  ~StandInEngine() override;

  // The stand-in behind a contract pointer; null for null or another
  // implementation's engine.
  static StandInEngine* FromContract(GIPSVoiceEngine* engine);

  StandInBase& Base() { return base_; }
  StandInCodec& Codec() { return codec_; }
  StandInVqe& Vqe() { return vqe_; }
  StandInFile& File() { return file_; }
  StandInVolumeControl& Volume() { return volume_; }
  StandInHardware& Hardware() { return hardware_; }
  StandInVideoSync& VideoSync() { return videoSync_; }
  StandInNetwork& Network() { return network_; }
  StandInDtmf& Dtmf() { return dtmf_; }
  bool AnyInterfaceHeld() const;

  // The failure convention: remembers `code` and returns -1.
  int Fail(int code) {
    lastError_ = code;
    return -1;
  }
  int LastError() const { return lastError_; }
  // Gives back one reference of an interface: the count left, or the
  // kInterfaceNotHeld failure.
  int ReleaseReference(InterfaceReference& reference);

  bool Initialised() const { return initialised_; }
  void SetInitialised(bool initialised) { initialised_ = initialised; }
  ChannelTable& Channels() { return channels_; }
  MediaEngine& Media() { return media_; }
  // The channel, or null after recording kUnknownChannel.
  StandInChannel* ChannelOrFail(int channel);

 private:
  int lastError_ = kNoError;
  bool initialised_ = false;
  ChannelTable channels_;
  MediaEngine media_;
  StandInBase base_;
  StandInCodec codec_;
  StandInVqe vqe_;
  StandInFile file_;
  StandInVolumeControl volume_;
  StandInHardware hardware_;
  StandInVideoSync videoSync_;
  StandInNetwork network_;
  StandInDtmf dtmf_;
};

}  // namespace standin
