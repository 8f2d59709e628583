// The stand-in's base interface: engine start and stop, channels, RTP endpoints.
#pragma once

#include "engine/gipsve_base.h"
#include "engine/standin/interface_reference.h"

namespace standin {

class StandInEngine;

class StandInBase final : public GIPSVEBase {
 public:
  explicit StandInBase(StandInEngine& engine) : engine_(engine) {}
  StandInBase(const StandInBase&) = delete;
  StandInBase& operator=(const StandInBase&) = delete;

  // Hands out the interface with a new reference.
  GIPSVEBase* Acquire() {
    references_.Acquire();
    return this;
  }
  bool Held() const { return references_.Count() > 0; }

  int Init(int option0, int option1, int option2, int option3, int option4) override;
  int Terminate() override;
  int CreateChannel() override;
  int DeleteChannel(int channel) override;
  int SetLocalReceiver(int channel, int port, int rtcpPort, const char* ip,
                       const char* multicastIp) override;
  int SetSendDestination(int channel, int port, const char* ip, int sourcePort,
                         int rtcpPort) override;
  int StartListen(int channel) override;
  int StartPlayout(int channel) override;
  int StartSend(int channel) override;
  int StopListen(int channel) override;
  int StopPlayout(int channel) override;
  int StopSend(int channel) override;
  int GetVersion(char* buffer, int length) override;
  int LastError() override;
  int Release() override;

 private:
  StandInEngine& engine_;
  InterfaceReference references_;
};

}  // namespace standin
