// The engine's media core and its one thread. The media thread starts with
// the first channel or stream that needs it and runs every 20 ms by the
// steady clock: it reads the microphone, takes in each channel's datagrams,
// mixes the playout of all channels and local streams into the speaker,
// records what was asked, and sends each sending channel's frame. It parks
// while nothing needs it and is joined when the engine is deleted.
//
// Locking: one mutex guards everything here. The host's calls into the
// engine (one thread) take it briefly; the media thread holds it while it
// processes a frame and releases it while it waits for the next. Streams
// given to the engine are called without it: the media thread reads each
// frame's stream input before it takes the lock and writes the recordings
// after it let it go (file_player.h, file_recorder.h). So a stream may call
// the engine from inside, stop itself included, or wait for a thread that
// does. Once a stop returns the engine calls that stream no more; a stop
// waits at most kStopWait for a stream call in progress on another thread.
//
// Tests may take the clock into their own hands (UseManualClock): the media
// thread then does not run, and RunFrames lets frames pass on the caller's
// thread, each processed exactly as the thread would, under the same lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "engine/standin/audio_file.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/file_player.h"
#include "engine/standin/file_recorder.h"
#include "engine/standin/level_meter.h"
#include "engine/standin/media_channel.h"
#include "engine/standin/sound_device.h"
#include "engine/standin/standin_testing.h"
#include "engine/standin/voice_processor.h"

namespace standin {

class MediaEngine {
 public:
  static constexpr std::chrono::milliseconds kFrame{kFrameMs};
  // Falling further behind than this skips ahead instead of catching up.
  static constexpr std::chrono::milliseconds kMaxLag{100};
  // The longest a stop waits for the media thread's call into that stream.
  static constexpr std::chrono::milliseconds kStopWait{2 * kFrameMs};

  MediaEngine();
  ~MediaEngine();
  MediaEngine(const MediaEngine&) = delete;
  MediaEngine& operator=(const MediaEngine&) = delete;

  // Runs `change` on the channel under the lock, then wakes the media
  // thread (starting it when the channel needs it). The result, for the
  // caller to report: what `change` answered (an error code),
  // kUnknownChannel when the channel has no media, or kOutOfMemory when the
  // media thread could not be started (the change stays made).
  template <class Change>
  [[nodiscard]] int WithChannel(int channel, Change&& change) {
    std::lock_guard lock(mutex_);
    auto found = channels_.find(channel);
    if (found == channels_.end()) return kUnknownChannel;
    const int error = change(*found->second);
    return WakeLocked() ? error : kOutOfMemory;
  }

  [[nodiscard]] int AddChannel(int channel);
  void RemoveChannel(int channel);
  // Terminate: every channel and recording ends.
  void Reset();

  // Playout needs the playback device: kSoundDeviceUnavailable when it
  // cannot be opened.
  [[nodiscard]] int StartPlayout(int channel);
  [[nodiscard]] int StopPlayout(int channel);
  void SetSoundDevices(int recordingDevice, int playbackDevice);
  void SetMicrophoneVolume(int level);
  void SetEchoCancellation(bool enable);
  void SetGainControl(bool enable);
  int MicrophoneLevel();
  // Of one channel, or of the whole playout for -1; -1 for an unknown channel.
  int SpeakerLevel(int channel);

  // A recording replaced or stopped is finished (its last data written)
  // unless the media thread is writing it.
  [[nodiscard]] int StartRecordingPlayout(std::shared_ptr<FileRecorder> recorder);
  void StopRecordingPlayout();
  // `maxBytes` counts the uncompressed audio at the engine rate; -1: no limit.
  [[nodiscard]] int StartRecordingCall(std::shared_ptr<FileRecorder> recorder, int maxBytes);
  void PauseRecordingCall(bool pause);
  void StopRecordingCall();

  bool Statistics(int channel, ChannelStatistics* statistics);
  EngineStatistics Statistics();
  std::vector<TelephoneEventRecord> ReceivedEvents(int channel);

  // Test-only. From now on no media thread runs (one running is stopped and
  // joined first) and the engine's time stands still between RunFrames.
  void UseManualClock();
  // Test-only, after UseManualClock, one caller at a time: lets `frames`
  // 20 ms periods pass on the calling thread. A period with work runs a
  // frame; one without counts as parked. False without the manual clock.
  bool RunFrames(int frames);

 private:
  using Clock = std::chrono::steady_clock;

  bool HasWorkLocked() const;
  // Starts the thread when there is work and it is not running, else
  // nudges it; false when the thread could not be started.
  bool WakeLocked();
  // What a frame leaves to write once the lock is let go.
  struct FrameRecordings {
    std::shared_ptr<FileRecorder> playout;
    std::shared_ptr<FileRecorder> call;
    bool callEnds = false;  // the call recording reached its size limit
    std::int16_t playoutPcm[kEngineFrame];
    std::int16_t callPcm[kEngineFrame];
  };

  bool OpenPlaybackLocked();
  void Run();
  // One frame with the lock held on entry and on return; lets it go around
  // the calls into the callers' streams. `players` is scratch space.
  void RunFrameLocked(std::unique_lock<std::mutex>& lock,
                      std::vector<std::shared_ptr<FilePlayer>>& players,
                      FrameRecordings& recordings);
  void ProcessFrame(FrameRecordings& recordings);
  void WriteRecordings(FrameRecordings& recordings);
  // Stops `recorder` when it is still the one in `slot`.
  void EndRecording(std::shared_ptr<FileRecorder>& slot,
                    const std::shared_ptr<FileRecorder>& recorder, bool finish);
  void CaptureMicrophone(bool needed, std::int16_t* microphone);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  bool stopping_ = false;
  bool manualClock_ = false;  // no thread: time passes only in RunFrames

  // The media clock: 20 ms periods since the thread started, counting the
  // frames run, the frames skipped and the time parked.
  std::uint64_t mediaFrame_ = 0;

  std::mt19937 random_;
  std::map<int, std::unique_ptr<MediaChannel>> channels_;

  int recordingDevice_ = kNullDevice;
  int playbackDevice_ = kNullDevice;
  std::unique_ptr<SoundDevice> playback_;
  std::unique_ptr<SoundDevice> capture_;
  std::unique_ptr<VoiceProcessor> processor_;
  float microphoneGain_ = 1.0f;

  LevelMeter microphoneMeter_;
  LevelMeter speakerMeter_;
  Upsampler2 playoutUpsampler_;
  Downsampler2 captureDownsampler_;
  std::int16_t lastPlayout_[kEngineFrame] = {};
  std::vector<std::uint8_t> datagram_;

  std::shared_ptr<FileRecorder> playoutRecording_;
  std::shared_ptr<FileRecorder> callRecording_;
  bool callPaused_ = false;
  std::int64_t callBytesLeft_ = -1;  // -1: no limit

  EngineStatistics statistics_;
};

}  // namespace standin
