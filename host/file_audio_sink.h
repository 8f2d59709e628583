// An IAudioSink that writes a file, for the command-line program and tests.
// Creating it empties the file; the end call (null data, count 0) flushes
// and closes it; writes after it fail with E_UNEXPECTED. Thread-safe.
#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>

#include "host/audio_object.h"
#include "platform/com_ptr.h"

namespace host {

class FileAudioSink final : public AudioObject<FileAudioSink, IAudioSink> {
 public:
  // Null when `path` cannot be created.
  static platform::ComPtr<FileAudioSink> Create(const std::filesystem::path& path);

  // Whether the end call has closed the file.
  bool IsFinished() const;

  // E_FAIL when the file cannot be written.
  HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG count) override;

 private:
  friend AudioObject<FileAudioSink, IAudioSink>;
  FileAudioSink() = default;
  ~FileAudioSink() = default;

  mutable std::mutex mutex_;
  std::ofstream file_;
  bool finished_ = false;
};

}  // namespace host
