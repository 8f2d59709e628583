// The stand-in's sound device interface: device numbers from -1 (the
// default device) up choose the devices the media thread opens; how the
// numbers map to devices is told in sound_device.h.
#pragma once

#include "engine/gipsve_hardware.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInHardware final : public GIPSVEHardware {
 public:
  explicit StandInHardware(StandInEngine& engine) : engine_(engine) {}
  StandInHardware(const StandInHardware&) = delete;
  StandInHardware& operator=(const StandInHardware&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEHardware* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int SetSoundDevices(int recordingDevice, int playbackDevice, int option1, int option2,
                      int option3) override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
