#include "host/file_audio_source.h"

namespace host {

platform::ComPtr<FileAudioSource> FileAudioSource::Open(const std::filesystem::path& path) {
  auto source = platform::ComPtr<FileAudioSource>::Adopt(new FileAudioSource());
  source->file_.open(path, std::ios::binary);
  if (!source->file_.is_open()) return nullptr;
  return source;
}

bool FileAudioSource::IsFinished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

HRESULT FileAudioSource::Read(BYTE* buffer, LONG count, LONG* read) {
  if (!read) return E_POINTER;
  *read = 0;
  std::lock_guard lock(mutex_);
  if (finished_) return E_UNEXPECTED;
  if (!buffer && count == 0) {
    finished_ = true;
    file_.close();
    return S_OK;
  }
  if (!buffer || count < 0) return E_POINTER;
  file_.read(reinterpret_cast<char*>(buffer), count);
  if (file_.bad()) return E_FAIL;
  *read = static_cast<LONG>(file_.gcount());
  return S_OK;
}

}  // namespace host
