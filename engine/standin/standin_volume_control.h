// The stand-in's volume interface. The microphone volume is a gain on the
// sound device's signal, unity at 128 (0 silences it, 255 nearly doubles
// it); the null device's silence is left alone. Signal levels come from the
// media thread's meters (level_meter.h).
#pragma once

#include "engine/gipsve_volume_control.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInVolumeControl final : public GIPSVEVolumeControl {
 public:
  explicit StandInVolumeControl(StandInEngine& engine) : engine_(engine) {}
  StandInVolumeControl(const StandInVolumeControl&) = delete;
  StandInVolumeControl& operator=(const StandInVolumeControl&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEVolumeControl* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  static constexpr int kInitialMicVolume = 128;

  int SetMicVolume(int level) override;
  int GetMicVolume(int& level) override;
  int SetInputMute(int channel, bool mute) override;
  int GetMicLevel(int& level) override;
  int GetSpeakerLevel(int channel, int& level) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
  int micVolume_ = kInitialMicVolume;
};

}  // namespace standin
