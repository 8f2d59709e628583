#include "host/file_audio_sink.h"

namespace host {

platform::ComPtr<FileAudioSink> FileAudioSink::Create(const std::filesystem::path& path) {
  auto sink = platform::ComPtr<FileAudioSink>::Adopt(new FileAudioSink());
  sink->file_.open(path, std::ios::binary | std::ios::trunc);
  if (!sink->file_.is_open()) return nullptr;
  return sink;
}

bool FileAudioSink::IsFinished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

HRESULT FileAudioSink::Write(const BYTE* data, LONG count) {
  std::lock_guard lock(mutex_);
  if (finished_) return E_UNEXPECTED;
  if (!data && count == 0) {
    finished_ = true;
    file_.close();
    return file_.fail() ? E_FAIL : S_OK;
  }
  if (!data || count < 0) return E_POINTER;
  file_.write(reinterpret_cast<const char*>(data), count);
  return file_.fail() ? E_FAIL : S_OK;
}

}  // namespace host
