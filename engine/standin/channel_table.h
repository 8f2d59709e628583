// The stand-in engine's channels. Numbers are handed out from 0 upward and
// never reused within one engine's life.
#pragma once

#include <map>

#include "engine/standin/standin_channel.h"

namespace standin {

class ChannelTable {
 public:
  static constexpr int kMaxChannels = 32;

  // The new channel's number; -1 when kMaxChannels exist or memory ran out.
  int Create();
  bool Delete(int channel);
  void Clear();
  // Null for an unknown channel.
  StandInChannel* Find(int channel);
  int Count() const { return static_cast<int>(channels_.size()); }
  // Whether a channel other than `except` receives on `port` (RTP or RTCP).
  bool ReceivePortTaken(int port, int except) const;

 private:
  std::map<int, StandInChannel> channels_;
  int next_ = 0;
};

}  // namespace standin
