#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/module.h"

namespace platform {

std::string ModuleFileName() {
  Dl_info info = {};
  link_map* module = nullptr;
  if (::dladdr1(reinterpret_cast<void*>(&ModuleFileName), &info, reinterpret_cast<void**>(&module),
                RTLD_DL_LINKMAP) == 0 ||
      !module || !module->l_name)
    return {};
  std::string path = module->l_name;
  // The program itself has no name in its link map; the kernel knows its file.
  if (path.empty()) {
    char self[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    path.assign(self, static_cast<size_t>(length));
  }
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) path = resolved;
  return path;
}

HRESULT RegisterModuleTypeLibrary() { return S_OK; }

HRESULT UnregisterTypeLibrary(const GUID&, WORD, WORD) { return S_OK; }

}  // namespace platform
