#include "tools/module_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tools {

std::string ComponentModuleFile() {
  if (const char* module = std::getenv("MEDLEY_MODULE")) return module;
  std::error_code ignored;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  if (!self.empty()) {
    const std::filesystem::path candidates[] = {
      self.parent_path() / "libmedley.so",
#if defined(MEDLEY_INSTALLED_MODULE_FILE)
      self.parent_path() / MEDLEY_INSTALLED_MODULE_FILE,
#endif
    };
    for (const std::filesystem::path& candidate : candidates)
      if (std::filesystem::exists(candidate, ignored)) return candidate.lexically_normal();
  }
  return MEDLEY_BUILT_MODULE_FILE;
}

}  // namespace tools
