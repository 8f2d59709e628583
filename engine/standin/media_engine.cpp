#include "engine/standin/media_engine.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace standin {
namespace {

void StopPlayers(MediaChannel& channel) {
  for (const std::shared_ptr<FilePlayer>& player :
       {channel.PlayLocally(nullptr), channel.PlayAsMicrophone(nullptr, true)})
    if (player) player->Stop(MediaEngine::kStopWait);
}

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
  // The thread is gone: nothing else holds the state.
  if (callRecording_) callRecording_->Stop(kStopWait, true);
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
  {
    std::lock_guard lock(mutex_);
    auto found = channels_.find(channel);
    if (found == channels_.end()) return;
    removed = std::move(found->second);
    channels_.erase(found);
  }
  StopPlayers(*removed);
}

void MediaEngine::Reset() {
  std::map<int, std::unique_ptr<MediaChannel>> removed;
  std::shared_ptr<FileRecorder> playout;
  std::shared_ptr<FileRecorder> call;
  {
    std::lock_guard lock(mutex_);
    removed.swap(channels_);
    playout = std::move(playoutRecording_);
    call = std::move(callRecording_);
    callPaused_ = false;
  }
  for (auto& [number, channel] : removed) StopPlayers(*channel);
  for (const auto& recorder : {playout, call})
    if (recorder) recorder->Stop(kStopWait, true);
}

bool MediaEngine::HasWorkLocked() const {
  if (playoutRecording_ || callRecording_) return true;
  return std::any_of(channels_.begin(), channels_.end(),
                     [](const auto& pair) { return pair.second->Active(); });
}

bool MediaEngine::WakeLocked() {
  if (manualClock_) return true;  // the test runs the frames
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

int MediaEngine::StartRecordingPlayout(std::shared_ptr<FileRecorder> recorder) {
  bool woken = false;
  {
    std::lock_guard lock(mutex_);
    playoutRecording_.swap(recorder);
    woken = WakeLocked();
  }
  if (recorder) recorder->Stop(kStopWait, true);  // the one replaced
  return woken ? kNoError : kOutOfMemory;
}

void MediaEngine::StopRecordingPlayout() {
  std::shared_ptr<FileRecorder> stopped;
  {
    std::lock_guard lock(mutex_);
    stopped = std::move(playoutRecording_);
  }
  if (stopped) stopped->Stop(kStopWait, true);
}

int MediaEngine::StartRecordingCall(std::shared_ptr<FileRecorder> recorder, int maxBytes) {
  bool woken = false;
  {
    std::lock_guard lock(mutex_);
    callRecording_.swap(recorder);
    callPaused_ = false;
    callBytesLeft_ = maxBytes;
    woken = WakeLocked();
  }
  if (recorder) recorder->Stop(kStopWait, true);
  return woken ? kNoError : kOutOfMemory;
}

void MediaEngine::PauseRecordingCall(bool pause) {
  std::lock_guard lock(mutex_);
  callPaused_ = pause;
}

void MediaEngine::StopRecordingCall() {
  std::shared_ptr<FileRecorder> stopped;
  {
    std::lock_guard lock(mutex_);
    stopped = std::move(callRecording_);
    callPaused_ = false;
  }
  if (stopped) stopped->Stop(kStopWait, true);
}

void MediaEngine::EndRecording(std::shared_ptr<FileRecorder>& slot,
                               const std::shared_ptr<FileRecorder>& recorder, bool finish) {
  {
    std::lock_guard lock(mutex_);
    if (slot != recorder) return;  // stopped or replaced meanwhile, by whoever did it
    slot.reset();
    if (&slot == &callRecording_) callPaused_ = false;
  }
  recorder->Stop(kStopWait, finish);
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
  std::vector<std::shared_ptr<FilePlayer>> players;
  FrameRecordings recordings;
  auto leave = [&] { return stopping_ || manualClock_; };
  while (!leave()) {
    if (!HasWorkLocked()) {
      wake_.wait(lock, [&] { return leave() || HasWorkLocked(); });
      // The media clock counts the periods that passed while parked.
      const Clock::time_point now = Clock::now();
      if (now > next) mediaFrame_ += static_cast<std::uint64_t>((now - next) / kFrame);
      next = now;
      continue;
    }
    RunFrameLocked(lock, players, recordings);
    next += kFrame;
    const Clock::time_point now = Clock::now();
    if (now - next > kMaxLag) {
      const auto skipped = static_cast<std::uint64_t>((now - next) / kFrame);
      statistics_.framesLate += skipped;
      mediaFrame_ += skipped;
      next = now;
    }
    wake_.wait_until(lock, next, leave);
  }
}

void MediaEngine::RunFrameLocked(std::unique_lock<std::mutex>& lock,
                                 std::vector<std::shared_ptr<FilePlayer>>& players,
                                 FrameRecordings& recordings) {
  // The callers' streams are read before the frame and written after it,
  // without the lock.
  try {
    for (auto& [number, channel] : channels_) channel->CollectPlayers(players);
  } catch (const std::bad_alloc&) {
    // The streams not collected play silence this frame.
  }
  lock.unlock();
  for (const std::shared_ptr<FilePlayer>& player : players) player->Prefetch();
  lock.lock();
  ProcessFrame(recordings);
  lock.unlock();
  players.clear();
  WriteRecordings(recordings);
  lock.lock();
  ++statistics_.framesRun;
  ++mediaFrame_;
}

void MediaEngine::UseManualClock() {
  std::thread stopped;
  {
    std::lock_guard lock(mutex_);
    manualClock_ = true;
    stopped.swap(thread_);
  }
  wake_.notify_all();
  if (stopped.joinable()) stopped.join();
}

bool MediaEngine::RunFrames(int frames) {
  std::unique_lock lock(mutex_);
  if (!manualClock_) return false;
  std::vector<std::shared_ptr<FilePlayer>> players;
  FrameRecordings recordings;
  for (int i = 0; i < frames; ++i) {
    if (HasWorkLocked())
      RunFrameLocked(lock, players, recordings);
    else
      ++mediaFrame_;  // parked for one period
  }
  return true;
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

void MediaEngine::WriteRecordings(FrameRecordings& recordings) {
  // A stream that refused gets nothing more; a recording file is finished.
  if (recordings.playout && !recordings.playout->Write(recordings.playoutPcm))
    EndRecording(playoutRecording_, recordings.playout, false);
  if (recordings.call && (!recordings.call->Write(recordings.callPcm) || recordings.callEnds))
    EndRecording(callRecording_, recordings.call, true);
  recordings.playout.reset();
  recordings.call.reset();
}

void MediaEngine::ProcessFrame(FrameRecordings& recordings) {
  std::int16_t microphone[kEngineFrame];
  const bool anySending = std::any_of(channels_.begin(), channels_.end(),
                                      [](const auto& pair) { return pair.second->Sending(); });
  CaptureMicrophone(anySending, microphone);

  for (auto& [number, channel] : channels_)
    channel->ReceivePending(datagram_.data(), datagram_.size(), mediaFrame_);

  PlayoutMix mix;
  for (auto& [number, channel] : channels_) channel->MixPlayout(mix);
  mix.Render(playoutUpsampler_, lastPlayout_);
  speakerMeter_.Add(lastPlayout_, kEngineFrame);
  speakerMeter_.Commit();
  if (playback_) playback_->Write(lastPlayout_, kEngineFrame);
  if (playoutRecording_) {
    recordings.playout = playoutRecording_;
    std::copy_n(lastPlayout_, kEngineFrame, recordings.playoutPcm);
  }

  std::int32_t local[kEngineFrame] = {};
  bool microphoneSent = false;
  CaptureFrame capture(microphone, captureDownsampler_);
  for (auto& [number, channel] : channels_)
    microphoneSent = channel->SendFrame(capture, local, mediaFrame_) || microphoneSent;

  if (callRecording_ && !callPaused_) {
    for (int i = 0; i < kEngineFrame; ++i)
      recordings.callPcm[i] =
          Saturate(lastPlayout_[i] + local[i] + (microphoneSent ? microphone[i] : 0));
    constexpr std::int64_t kFrameBytes = kEngineFrame * 2;
    recordings.call = callRecording_;
    recordings.callEnds = callBytesLeft_ >= 0 && (callBytesLeft_ -= kFrameBytes) < kFrameBytes;
  }
  for (auto& [number, channel] : channels_) channel->EndFrame();
}

}  // namespace standin
