#include "engine/standin/telephone_event.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace standin {

bool ParseTelephoneEvent(const std::uint8_t* payload, std::size_t size,
                         TelephoneEventBlock* block) {
  if (!payload || size < 4) return false;
  block->event = payload[0];
  block->end = (payload[1] & 0x80) != 0;
  block->volume = payload[1] & 0x3F;
  block->duration = (payload[2] << 8) | payload[3];
  return true;
}

void WriteTelephoneEvent(const TelephoneEventBlock& block, std::vector<std::uint8_t>& payload) {
  const int duration = std::clamp(block.duration, 0, 0xFFFF);
  payload.push_back(static_cast<std::uint8_t>(block.event));
  payload.push_back(static_cast<std::uint8_t>((block.end ? 0x80 : 0) | (block.volume & 0x3F)));
  payload.push_back(static_cast<std::uint8_t>(duration >> 8));
  payload.push_back(static_cast<std::uint8_t>(duration));
}

void TelephoneEventSender::Start(int event, int volume, int durationTicks, int ticksPerFrame) {
  block_ = TelephoneEventBlock{event, false, volume, 0};
  durationTicks_ = std::min(std::max(durationTicks, 1), 0xFFFF);
  ticksPerFrame_ = std::max(ticksPerFrame, 1);
  sent_ = 0;
  endsLeft_ = 3;
  active_ = true;
}

bool TelephoneEventSender::Next(Packet* packet) {
  if (!active_) return false;
  packet->first = sent_ == 0;
  ++sent_;
  block_.duration = std::min(sent_ * ticksPerFrame_, durationTicks_);
  block_.end = block_.duration >= durationTicks_;
  if (block_.end && --endsLeft_ == 0) active_ = false;
  packet->block = block_;
  return true;
}

void TelephoneEventReceiver::OnPacket(std::uint32_t timestamp, const TelephoneEventBlock& block,
                                      int clockRate) {
  if (!any_ || timestamp != lastTimestamp_ || events_.empty()) {
    if (events_.size() == kKept) events_.pop_front();
    events_.push_back(ReceivedTelephoneEvent{block.event, block.volume, 0, false});
    any_ = true;
    lastTimestamp_ = timestamp;
  }
  ReceivedTelephoneEvent& current = events_.back();
  if (current.event != block.event) return;  // a different event under the same timestamp
  const int durationMs = clockRate > 0 ? block.duration * 1000 / clockRate : 0;
  current.durationMs = std::max(current.durationMs, durationMs);
  current.volume = block.volume;
  current.ended = current.ended || block.end;
}

void TelephoneEventReceiver::Clear() {
  events_.clear();
  any_ = false;
}

bool DtmfFrequencies(int event, int* low, int* high) {
  static constexpr int kLow[] = {697, 770, 852, 941};
  static constexpr int kHigh[] = {1209, 1336, 1477, 1633};
  // Row and column of each key in event order: 0-9, *, #, A-D.
  static constexpr int kRow[] = {3, 0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 0, 1, 2, 3};
  static constexpr int kColumn[] = {1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 2, 3, 3, 3, 3};
  if (event < 0 || event > 15) return false;
  *low = kLow[kRow[event]];
  *high = kHigh[kColumn[event]];
  return true;
}

bool DtmfToneGenerator::Start(int event, int attenuationDb, int durationMs) {
  int low = 0, high = 0;
  if (!DtmfFrequencies(event, &low, &high) || durationMs <= 0) return false;
  low_ = low;
  high_ = high;
  amplitude_ = 16383.0 * std::pow(10.0, -std::clamp(attenuationDb, 0, 63) / 20.0);
  phaseLow_ = phaseHigh_ = 0;
  samplesLeftMs_ = durationMs;
  return true;
}

bool DtmfToneGenerator::Generate(std::int16_t* pcm, int samples, int sampleRate) {
  if (!Active() || sampleRate <= 0) return false;
  const double stepLow = 2 * std::numbers::pi * low_ / sampleRate;
  const double stepHigh = 2 * std::numbers::pi * high_ / sampleRate;
  const int toneSamples = std::min(samples, samplesLeftMs_ * sampleRate / 1000);
  for (int i = 0; i < samples; ++i) {
    double value = 0;
    if (i < toneSamples) {
      value = amplitude_ * (std::sin(phaseLow_) + std::sin(phaseHigh_));
      phaseLow_ = std::fmod(phaseLow_ + stepLow, 2 * std::numbers::pi);
      phaseHigh_ = std::fmod(phaseHigh_ + stepHigh, 2 * std::numbers::pi);
    }
    pcm[i] = static_cast<std::int16_t>(std::lround(value));
  }
  samplesLeftMs_ = std::max(0, samplesLeftMs_ - samples * 1000 / sampleRate);
  return true;
}

}  // namespace standin
