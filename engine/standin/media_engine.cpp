#include "engine/standin/media_engine.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace standin {
namespace {

// The largest UDP payload: datagrams are read whole, whatever they carry.
constexpr std::size_t kDatagramCapacity = 65536;
// SetMicVolume's level at which the microphone is taken as it is.
constexpr float kUnityMicVolume = 128.0f;

}  // namespace

MediaEngine::MediaEngine()
    : random_(std::random_device{}()),
      processor_(CreateVoiceProcessor(kEngineRate, kEngineFrame)),
      datagram_(kDatagramCapacity) {}

MediaEngine::~MediaEngine() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  StopCallRecordingLocked();  // the thread is gone: nothing else holds the state
}

int MediaEngine::AddChannel(int channel) {
  std::lock_guard lock(mutex_);
  try {
    channels_[channel] = std::make_unique<MediaChannel>(random_);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kNoError;
}

void MediaEngine::RemoveChannel(int channel) {
  std::unique_ptr<MediaChannel> removed;
  std::lock_guard lock(mutex_);
  auto found = channels_.find(channel);
  if (found == channels_.end()) return;
  removed = std::move(found->second);
  channels_.erase(found);
}

void MediaEngine::Reset() {
  std::lock_guard lock(mutex_);
  channels_.clear();
  if (playoutRecording_) playoutRecording_->Finish();
  playoutRecording_.reset();
  StopCallRecordingLocked();
}

bool MediaEngine::HasWorkLocked() const {
  if (playoutRecording_ || callRecording_) return true;
  return std::any_of(channels_.begin(), channels_.end(),
                     [](const auto& pair) { return pair.second->Active(); });
}

bool MediaEngine::WakeLocked() {
  if (thread_.joinable()) {
    wake_.notify_all();
    return true;
  }
  if (!HasWorkLocked()) return true;
  try {
    thread_ = std::thread(&MediaEngine::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool MediaEngine::OpenPlaybackLocked() {
  if (!playback_)
    playback_ = OpenSoundDevice(SoundDirection::kPlayback, playbackDevice_, kEngineRate);
  return playback_ != nullptr;
}

int MediaEngine::StartPlayout(int channel) {
  std::lock_guard lock(mutex_);
  auto found = channels_.find(channel);
  if (found == channels_.end()) return kUnknownChannel;
  if (!OpenPlaybackLocked()) return kSoundDeviceUnavailable;
  found->second->SetPlaying(true);
  return WakeLocked() ? kNoError : kOutOfMemory;
}

int MediaEngine::StopPlayout(int channel) {
  return WithChannel(channel, [](MediaChannel& media) {
    media.SetPlaying(false);
    return kNoError;
  });
}

void MediaEngine::SetSoundDevices(int recordingDevice, int playbackDevice) {
  std::lock_guard lock(mutex_);
  if (recordingDevice != recordingDevice_) capture_.reset();  // reopened with the next frame
  if (playbackDevice != playbackDevice_) playback_.reset();
  recordingDevice_ = recordingDevice;
  playbackDevice_ = playbackDevice;
  // Playout going on moves to the new device at once (or goes unheard
  // until the next StartPlayout when it cannot be opened).
  if (std::any_of(channels_.begin(), channels_.end(),
                  [](const auto& pair) { return pair.second->Playing(); }))
    OpenPlaybackLocked();
}

void MediaEngine::SetMicrophoneVolume(int level) {
  std::lock_guard lock(mutex_);
  microphoneGain_ = static_cast<float>(level) / kUnityMicVolume;
}

void MediaEngine::SetEchoCancellation(bool enable) {
  std::lock_guard lock(mutex_);
  processor_->SetEchoCancellation(enable);
}

void MediaEngine::SetGainControl(bool enable) {
  std::lock_guard lock(mutex_);
  processor_->SetGainControl(enable);
}

int MediaEngine::MicrophoneLevel() {
  std::lock_guard lock(mutex_);
  return microphoneMeter_.Level();
}

int MediaEngine::SpeakerLevel(int channel) {
  std::lock_guard lock(mutex_);
  if (channel == -1) return speakerMeter_.Level();
  auto found = channels_.find(channel);
  return found == channels_.end() ? -1 : found->second->SpeakerLevel();
}

int MediaEngine::StartRecordingPlayout(std::unique_ptr<FileAudioWriter> writer) {
  std::lock_guard lock(mutex_);
  if (playoutRecording_) playoutRecording_->Finish();
  playoutRecording_ = std::move(writer);
  return WakeLocked() ? kNoError : kOutOfMemory;
}

void MediaEngine::StopRecordingPlayout() {
  std::lock_guard lock(mutex_);
  if (playoutRecording_) playoutRecording_->Finish();
  playoutRecording_.reset();
}

int MediaEngine::StartRecordingCall(std::unique_ptr<FileAudioWriter> writer, int maxBytes) {
  std::lock_guard lock(mutex_);
  StopCallRecordingLocked();
  callRecording_ = std::move(writer);
  callPaused_ = false;
  callBytesLeft_ = maxBytes;
  return WakeLocked() ? kNoError : kOutOfMemory;
}

void MediaEngine::PauseRecordingCall(bool pause) {
  std::lock_guard lock(mutex_);
  callPaused_ = pause;
}

void MediaEngine::StopRecordingCall() {
  std::lock_guard lock(mutex_);
  StopCallRecordingLocked();
}

void MediaEngine::StopCallRecordingLocked() {
  if (callRecording_) callRecording_->Finish();
  callRecording_.reset();
  callPaused_ = false;
}

bool MediaEngine::Statistics(int channel, ChannelStatistics* statistics) {
  std::lock_guard lock(mutex_);
  auto found = channels_.find(channel);
  if (found == channels_.end()) return false;
  *statistics = found->second->Statistics();
  return true;
}

EngineStatistics MediaEngine::Statistics() {
  std::lock_guard lock(mutex_);
  return statistics_;
}

std::vector<TelephoneEventRecord> MediaEngine::ReceivedEvents(int channel) {
  std::lock_guard lock(mutex_);
  std::vector<TelephoneEventRecord> events;
  auto found = channels_.find(channel);
  if (found == channels_.end()) return events;
  for (const ReceivedTelephoneEvent& event : found->second->Events().Events())
    events.push_back(
        TelephoneEventRecord{event.event, event.volume, event.durationMs, event.ended});
  return events;
}

void MediaEngine::Run() {
  std::unique_lock lock(mutex_);
  Clock::time_point next = Clock::now();
  while (!stopping_) {
    if (!HasWorkLocked()) {
      wake_.wait(lock, [&] { return stopping_ || HasWorkLocked(); });
      // The media clock counts the periods that passed while parked.
      const Clock::time_point now = Clock::now();
      if (now > next) mediaFrame_ += static_cast<std::uint64_t>((now - next) / kFrame);
      next = now;
      continue;
    }
    ProcessFrame();
    ++statistics_.framesRun;
    ++mediaFrame_;
    next += kFrame;
    const Clock::time_point now = Clock::now();
    if (now - next > kMaxLag) {
      const auto skipped = static_cast<std::uint64_t>((now - next) / kFrame);
      statistics_.framesLate += skipped;
      mediaFrame_ += skipped;
      next = now;
    }
    wake_.wait_until(lock, next, [&] { return stopping_; });
  }
}

void MediaEngine::CaptureMicrophone(bool needed, std::int16_t* microphone) {
  std::fill_n(microphone, kEngineFrame, 0);
  if (!needed) {
    capture_.reset();  // let the device go while nobody sends
  } else {
    if (!capture_)
      capture_ = OpenSoundDevice(SoundDirection::kCapture, recordingDevice_, kEngineRate);
    if (!capture_) capture_ = OpenNullSoundDevice();  // no microphone: send silence
    capture_->Read(microphone, kEngineFrame);
    if (!capture_->IsNull()) {
      ScaleInPlace(microphone, kEngineFrame, microphoneGain_);
      processor_->Process(microphone, lastPlayout_);
    }
  }
  microphoneMeter_.Add(microphone, kEngineFrame);
  microphoneMeter_.Commit();
}

void MediaEngine::ProcessFrame() {
  std::int16_t microphone[kEngineFrame];
  const bool anySending = std::any_of(channels_.begin(), channels_.end(),
                                      [](const auto& pair) { return pair.second->Sending(); });
  CaptureMicrophone(anySending, microphone);

  for (auto& [number, channel] : channels_)
    channel->ReceivePending(datagram_.data(), datagram_.size());

  PlayoutMix mix;
  for (auto& [number, channel] : channels_) channel->MixPlayout(mix);
  mix.Render(playoutUpsampler_, lastPlayout_);
  speakerMeter_.Add(lastPlayout_, kEngineFrame);
  speakerMeter_.Commit();
  if (playback_) playback_->Write(lastPlayout_, kEngineFrame);
  if (playoutRecording_ && !playoutRecording_->WriteFrame(lastPlayout_, kEngineFrame))
    playoutRecording_.reset();  // the stream refused: it gets nothing more

  std::int32_t local[kEngineFrame] = {};
  bool microphoneSent = false;
  CaptureFrame capture(microphone, captureDownsampler_);
  for (auto& [number, channel] : channels_)
    microphoneSent = channel->SendFrame(capture, local, mediaFrame_) || microphoneSent;

  if (callRecording_ && !callPaused_) {
    std::int16_t conversation[kEngineFrame];
    for (int i = 0; i < kEngineFrame; ++i)
      conversation[i] = Saturate(lastPlayout_[i] + local[i] + (microphoneSent ? microphone[i] : 0));
    constexpr std::int64_t kFrameBytes = kEngineFrame * 2;
    if (!callRecording_->WriteFrame(conversation, kEngineFrame) ||
        (callBytesLeft_ >= 0 && (callBytesLeft_ -= kFrameBytes) < kFrameBytes))
      StopCallRecordingLocked();
  }
  for (auto& [number, channel] : channels_) channel->EndFrame();
}

}  // namespace standin
