// Channels, RTP transport, version and last error.
#pragma once

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

class GIPSVEBase {
 public:
  // The base interface of `engine` with a new reference; null for no engine.
  static GIPSVE_API GIPSVEBase* GIPSVE_GetInterface(GIPSVoiceEngine* engine);

  // Starts the engine. The five options belong to the engine implementation.
  virtual int Init(int option0, int option1, int option2, int option3, int option4) = 0;
  // Stops the engine; every channel is deleted.
  virtual int Terminate() = 0;
  // A new channel number (0 or more), or -1.
  virtual int CreateChannel() = 0;
  virtual int DeleteChannel(int channel) = 0;
  // Where the channel receives RTP. `rtcpPort` -1 means port + 1; null
  // `ip` means every local address; null `multicastIp` joins no group.
  virtual int SetLocalReceiver(int channel, int port, int rtcpPort, const char* ip,
                               const char* multicastIp) = 0;
  // Where the channel sends RTP. `sourcePort` and `rtcpPort` -1 choose the
  // engine's defaults (the receive port, port + 1).
  virtual int SetSendDestination(int channel, int port, const char* ip, int sourcePort,
                                 int rtcpPort) = 0;
  virtual int StartListen(int channel) = 0;
  virtual int StartPlayout(int channel) = 0;
  virtual int StartSend(int channel) = 0;
  virtual int StopListen(int channel) = 0;
  virtual int StopPlayout(int channel) = 0;
  virtual int StopSend(int channel) = 0;
  // Writes the version text, zero-terminated, into `buffer` of `length` bytes.
  virtual int GetVersion(char* buffer, int length) = 0;
  // The code of the most recent failure of any interface of this engine.
  virtual int LastError() = 0;
  // Gives back one reference; returns the references left, -1 if none was held.
  virtual int Release() = 0;

 protected:
  ~GIPSVEBase() = default;
};
