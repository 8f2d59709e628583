// A folder of the test's own: a fresh directory under the temporary folder
// (TMPDIR when set), named by mkdtemp so that no other process, another copy
// of the same suite included, has it. It is removed with everything in it
// when the object goes. Tests write their files here and nowhere else.
// POSIX only.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

class TempFolder {
 public:
  // `prefix` starts the folder's name, to tell whose leftovers are whose.
  explicit TempFolder(const std::string& prefix = "medley-test") {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& Path() const { return path_; }
  // `name` (may contain slashes) inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace test_support
