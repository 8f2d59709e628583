#include "engine/standin/channel_table.h"

#include <new>

namespace standin {

int ChannelTable::Create() {
  if (Count() >= kMaxChannels) return -1;
  try {
    channels_.emplace(next_, StandInChannel{});
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return next_++;
}

bool ChannelTable::Delete(int channel) { return channels_.erase(channel) != 0; }

void ChannelTable::Clear() { channels_.clear(); }

StandInChannel* ChannelTable::Find(int channel) {
  auto it = channels_.find(channel);
  return it == channels_.end() ? nullptr : &it->second;
}

bool ChannelTable::ReceivePortTaken(int port, int except) const {
  for (const auto& [number, channel] : channels_) {
    if (number == except || channel.receivePort < 0) continue;
    if (channel.receivePort == port || channel.receiveRtcpPort == port) return true;
  }
  return false;
}

}  // namespace standin
