// WASAPI in shared mode, event-driven: the endpoint of a wave device (found
// through the wave device's function instance id, so that the mixer's
// numbering holds) or the default endpoint for WAVE_MAPPER. A thread of the
// device's own owns every WASAPI object: it opens the stream, then moves
// samples between the endpoint and a queue at each buffer event. Read and
// Write, on the media thread, only touch the queue.
#include "engine/standin/sound_device_wasapi.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace standin {
namespace {

constexpr REFERENCE_TIME kBufferDuration = 1000000;  // 100 ms, in 100 ns units
constexpr DWORD kEventWaitMilliseconds = 200;        // so that a stop is seen without events
constexpr int kQueueMilliseconds = 200;              // what the queue keeps at most

template <typename T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

// The endpoint id of wave device `waveId`; empty when winmm does not tell.
std::wstring EndpointOfWaveDevice(SoundDirection direction, UINT waveId) {
  ULONG bytes = 0;
  auto message = [&](UINT code, DWORD_PTR first, DWORD_PTR second) {
    return direction == SoundDirection::kCapture
               ? waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(waveId)), code,
                               first, second)
               : waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(waveId)), code,
                                first, second);
  };
  if (message(DRV_QUERYFUNCTIONINSTANCEIDSIZE, reinterpret_cast<DWORD_PTR>(&bytes), 0) !=
          MMSYSERR_NOERROR ||
      bytes < sizeof(wchar_t))
    return {};
  std::wstring id(bytes / sizeof(wchar_t), L'\0');
  if (message(DRV_QUERYFUNCTIONINSTANCEID, reinterpret_cast<DWORD_PTR>(id.data()), bytes) !=
      MMSYSERR_NOERROR)
    return {};
  id.resize(wcslen(id.c_str()));
  return id;
}

class WasapiDevice final : public SoundDevice {
 public:
  WasapiDevice(SoundDirection direction, UINT waveId, int sampleRate)
      : direction_(direction), waveId_(waveId), sampleRate_(sampleRate) {}
  ~WasapiDevice() override {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  WasapiDevice(const WasapiDevice&) = delete;
  WasapiDevice& operator=(const WasapiDevice&) = delete;

  // Starts the thread; false when the endpoint or the stream cannot be opened.
  bool Start() {
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    thread_ = std::thread([this, &opened] { Run(opened); });
    if (result.get()) return true;
    thread_.join();
    return false;
  }

  void Read(std::int16_t* pcm, int samples) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t got = std::min(queue_.size(), static_cast<std::size_t>(std::max(samples, 0)));
    std::copy_n(queue_.begin(), got, pcm);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(got));
    std::fill(pcm + got, pcm + std::max(samples, 0), 0);
  }

  void Write(const std::int16_t* pcm, int samples) override {
    if (samples <= 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    // One frame of silence ahead of the first, so that the endpoint does not
    // run dry between two frames.
    if (!started_) {
      started_ = true;
      queue_.insert(queue_.end(), static_cast<std::size_t>(samples), 0);
    }
    if (queue_.size() + static_cast<std::size_t>(samples) > Limit()) return;  // no room: dropped
    queue_.insert(queue_.end(), pcm, pcm + samples);
  }

 private:
  std::size_t Limit() const {
    return static_cast<std::size_t>(sampleRate_ / 1000 * kQueueMilliseconds);
  }

  void Run(std::promise<bool>& opened) {
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const bool ok = event && Open(event);
    opened.set_value(ok);
    if (ok) {
      client_->Start();
      while (!stop_) {
        WaitForSingleObject(event, kEventWaitMilliseconds);
        if (direction_ == SoundDirection::kCapture)
          Capture();
        else
          Render();
      }
      client_->Stop();
    }
    Release(render_);
    Release(capture_);
    Release(client_);
    if (event) CloseHandle(event);
    if (comStarted) CoUninitialize();
  }

  bool Open(HANDLE event) {
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* device = nullptr;
    const bool capture = direction_ == SoundDirection::kCapture;
    HRESULT hr =
        CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                         __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator));
    if (SUCCEEDED(hr)) {
      if (waveId_ == WAVE_MAPPER) {
        hr = enumerator->GetDefaultAudioEndpoint(capture ? eCapture : eRender, eConsole, &device);
      } else {
        const std::wstring id = EndpointOfWaveDevice(direction_, waveId_);
        hr = id.empty() ? E_FAIL : enumerator->GetDevice(id.c_str(), &device);
      }
    }
    if (SUCCEEDED(hr))
      hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                            reinterpret_cast<void**>(&client_));
    Release(device);
    Release(enumerator);
    if (FAILED(hr)) return false;

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate_);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 2;
    // The engine converts the rate and channels where the endpoint's mix
    // format differs; an endpoint without that takes the format as it is.
    hr =
        client_->Initialize(AUDCLNT_SHAREMODE_SHARED,
                            AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                                AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                            kBufferDuration, 0, &format, nullptr);
    if (FAILED(hr))
      hr = client_->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                               kBufferDuration, 0, &format, nullptr);
    if (SUCCEEDED(hr)) hr = client_->SetEventHandle(event);
    if (SUCCEEDED(hr)) hr = client_->GetBufferSize(&bufferFrames_);
    if (SUCCEEDED(hr))
      hr = capture ? client_->GetService(__uuidof(IAudioCaptureClient),
                                         reinterpret_cast<void**>(&capture_))
                   : client_->GetService(__uuidof(IAudioRenderClient),
                                         reinterpret_cast<void**>(&render_));
    return SUCCEEDED(hr);
  }

  // Gives the endpoint what the queue holds, up to the room it has.
  void Render() {
    UINT32 padding = 0;
    if (FAILED(client_->GetCurrentPadding(&padding)) || padding >= bufferFrames_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const UINT32 frames =
        static_cast<UINT32>(std::min<std::size_t>(bufferFrames_ - padding, queue_.size()));
    BYTE* data = nullptr;
    if (frames == 0 || FAILED(render_->GetBuffer(frames, &data))) return;
    std::copy_n(queue_.begin(), frames, reinterpret_cast<std::int16_t*>(data));
    queue_.erase(queue_.begin(), queue_.begin() + frames);
    render_->ReleaseBuffer(frames, 0);
  }

  // Moves every captured packet to the queue, dropping the oldest beyond
  // its limit.
  void Capture() {
    UINT32 packet = 0;
    while (SUCCEEDED(capture_->GetNextPacketSize(&packet)) && packet > 0) {
      BYTE* data = nullptr;
      UINT32 frames = 0;
      DWORD flags = 0;
      if (FAILED(capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr))) return;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (flags & AUDCLNT_BUFFERFLAGS_SILENT) {
          queue_.insert(queue_.end(), frames, 0);
        } else {
          const auto* samples = reinterpret_cast<const std::int16_t*>(data);
          queue_.insert(queue_.end(), samples, samples + frames);
        }
        if (queue_.size() > Limit())
          queue_.erase(queue_.begin(), queue_.end() - static_cast<std::ptrdiff_t>(Limit()));
      }
      capture_->ReleaseBuffer(frames);
    }
  }

  const SoundDirection direction_;
  const UINT waveId_;
  const int sampleRate_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  // The thread's own.
  IAudioClient* client_ = nullptr;
  IAudioRenderClient* render_ = nullptr;
  IAudioCaptureClient* capture_ = nullptr;
  UINT32 bufferFrames_ = 0;
  // Guards queue_ and started_.
  std::mutex mutex_;
  std::deque<std::int16_t> queue_;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<SoundDevice> OpenWasapiDevice(SoundDirection direction, unsigned waveId,
                                              int sampleRate) {
  auto device = std::make_unique<WasapiDevice>(direction, waveId, sampleRate);
  if (!device->Start()) return nullptr;
  return device;
}

}  // namespace standin
