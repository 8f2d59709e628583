// An IAudioSource that reads a file, for the command-line program and tests.
// The end call (null buffer, count 0) closes the file; reads after it fail
// with E_UNEXPECTED. Thread-safe.
#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>

#include "host/audio_object.h"
#include "platform/com_ptr.h"

namespace host {

class FileAudioSource final : public AudioObject<FileAudioSource, IAudioSource> {
 public:
  // Null when `path` cannot be opened for reading.
  static platform::ComPtr<FileAudioSource> Open(const std::filesystem::path& path);

  // Whether the end call has closed the file.
  bool IsFinished() const;

  // 0 bytes at the end of the file; E_FAIL when the file cannot be read.
  HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, LONG count, LONG* read) override;

 private:
  friend AudioObject<FileAudioSource, IAudioSource>;
  FileAudioSource() = default;
  ~FileAudioSource() = default;

  mutable std::mutex mutex_;
  std::ifstream file_;
  bool finished_ = false;
};

}  // namespace host
