// A class registry file of the test's own: a fresh temporary directory whose
// "registry" file MEDLEY_REGISTRY points at for the lifetime of the object.
// The previous value of MEDLEY_REGISTRY is restored afterwards and the
// directory removed. Linux only (the registry file stands in for the system
// registry there).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

class TempRegistry {
 public:
  // `subpath` below the temporary directory names the file, so a test can
  // have directories that do not exist yet.
  explicit TempRegistry(const std::string& subpath = "registry") {
    path_ = folder_.File(subpath);
    if (const char* previous = std::getenv("MEDLEY_REGISTRY")) previous_ = previous;
    ::setenv("MEDLEY_REGISTRY", path_.c_str(), 1);
  }
  ~TempRegistry() {
    if (previous_)
      ::setenv("MEDLEY_REGISTRY", previous_->c_str(), 1);
    else
      ::unsetenv("MEDLEY_REGISTRY");
  }
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& Directory() const { return folder_.Path(); }
  bool Exists() const { return std::filesystem::exists(path_); }

  // The file's text; empty when it does not exist.
  std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void Write(const std::string& text) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
  }

 private:
  test_support::TempFolder folder_{"medley-registry"};
  std::string path_;
  std::optional<std::string> previous_;
};
