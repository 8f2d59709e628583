// The class registry kept in a text file (see platform/registry.h).
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/registry.h"
#include "platform/registry_file.h"

namespace platform {

namespace {

class FileEditor final : public ClassRegistryEditor {
 public:
  explicit FileEditor(RegistryFile& file) : file_(file) {}

  HRESULT CreateKey(std::string_view key) override {
    if (!RegistryFile::IsValidKeyPath(key)) return E_INVALIDARG;
    file_.CreateKey(key);
    return S_OK;
  }
  HRESULT SetValue(std::string_view key, std::string_view name, std::string_view value) override {
    if (!RegistryFile::IsValidKeyPath(key) || !RegistryFile::IsValidValueName(name) ||
        !RegistryFile::IsValidValue(value))
      return E_INVALIDARG;
    file_.SetValue(key, name, value);
    return S_OK;
  }
  HRESULT DeleteTree(std::string_view key) override {
    if (!RegistryFile::IsValidKeyPath(key)) return E_INVALIDARG;
    file_.DeleteTree(key);
    return S_OK;
  }
  HRESULT DeleteKeyUnlessParent(std::string_view key) override {
    if (!RegistryFile::IsValidKeyPath(key)) return E_INVALIDARG;
    if (!file_.Subkeys(key).empty()) return S_FALSE;
    file_.DeleteTree(key);
    return S_OK;
  }

 private:
  RegistryFile& file_;
};

// Creates the directories above `path` that are missing.
bool MakeParentDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string directory = path.substr(0, slash);
    if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// An exclusive lock on a file beside the registry. The registry file itself
// is replaced by rename, so a lock on it would not outlive an edit.
class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) return;
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    locked_ = result == 0;
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

// The file's text; a missing file reads as empty.
HRESULT ReadText(const std::string& path, std::string* text) {
  text->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? S_OK : REGDB_E_READREGDB;
  char buffer[4096];
  HRESULT hr = S_OK;
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      hr = REGDB_E_READREGDB;
      break;
    }
    text->append(buffer, static_cast<size_t>(count));
  }
  ::close(fd);
  return hr;
}

HRESULT ReadRegistry(const std::string& path, RegistryFile* registry, std::string* text) {
  HRESULT hr = ReadText(path, text);
  if (FAILED(hr)) return hr;
  RegistryFile::ParseOutcome parsed = RegistryFile::Parse(*text);
  if (!parsed.Ok()) return REGDB_E_READREGDB;
  *registry = std::move(parsed.registry);
  return S_OK;
}

bool WriteAll(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<size_t>(count);
  }
  return true;
}

// Writes a temporary file beside `path` and renames it over `path`.
HRESULT ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return REGDB_E_WRITEREGDB;
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return REGDB_E_WRITEREGDB;
  }
  return S_OK;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  passwd entry = {};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return {};
}

}  // namespace

std::string RegistryFilePath() {
  if (const char* path = std::getenv("MEDLEY_REGISTRY"); path && *path) return path;
  std::string home = HomeDirectory();
  if (home.empty()) return {};
  return home + "/.config/medley/registry";
}

HRESULT EditClassRegistry(const std::function<HRESULT(ClassRegistryEditor&)>& edit) {
  try {
    const std::string path = RegistryFilePath();
    if (path.empty() || !MakeParentDirectories(path)) return REGDB_E_WRITEREGDB;
    FileLock lock(path + ".lock");
    if (!lock.Locked()) return REGDB_E_WRITEREGDB;
    RegistryFile registry;
    std::string text;
    HRESULT hr = ReadRegistry(path, &registry, &text);
    if (FAILED(hr)) return hr;
    // Compared in printed form, so that an edit that changes nothing leaves
    // the file (and a missing file) alone.
    const std::string before = registry.Print();
    FileEditor editor(registry);
    hr = edit(editor);
    if (FAILED(hr)) return hr;
    std::string after = registry.Print();
    if (after != before) {
      HRESULT written = ReplaceFile(path, after);
      if (FAILED(written)) return written;
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ReadClassRegistryValue(std::string_view key, std::string_view name, std::string* value) {
  if (!value) return E_POINTER;
  try {
    RegistryFile registry;
    std::string text;
    HRESULT hr = ReadRegistry(RegistryFilePath(), &registry, &text);
    if (FAILED(hr)) return hr;
    const std::string* found = registry.FindValue(key, name);
    if (!found) return REGDB_E_KEYMISSING;
    *value = *found;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

bool ClassRegistryKeyExists(std::string_view key) {
  try {
    RegistryFile registry;
    std::string text;
    return SUCCEEDED(ReadRegistry(RegistryFilePath(), &registry, &text)) && registry.HasKey(key);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace platform
