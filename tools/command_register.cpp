// medley register / unregister: the component's own DllRegisterServer and
// DllUnregisterServer, called as regsvr32 calls them on Windows, so that a
// host on this machine can create Medley.GipsMediaHandler by ProgID.
#include <dlfcn.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "medley/com_base.h"
#include "platform/registry.h"
#include "tools/commands.h"
#include "tools/module_file.h"

namespace tools {
namespace {

// Loads the component and calls its entry point `entry`. The library stays
// loaded until the process ends, as a host keeps a module it registered.
int CallEntryPoint(const char* command, const char* entry, const Arguments& args, std::ostream& out,
                   std::ostream& err) {
  if (!args.empty()) {
    err << "medley " << command << ": unexpected argument '" << args.front() << "'\n";
    return 2;
  }
  const std::string file = ComponentModuleFile();
  void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    err << "medley " << command << ": cannot load " << file << " (" << ::dlerror() << ")\n";
    return 1;
  }
  auto function = reinterpret_cast<HRESULT (*)()>(::dlsym(module, entry));
  if (!function) {
    err << "medley " << command << ": " << file << " has no " << entry << "\n";
    return 1;
  }
  HRESULT hr = function();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  if (FAILED(hr)) {
    err << "medley " << command << ": " << entry << " failed (" << code << ") for " << file
        << " in " << platform::RegistryFilePath() << "\n";
    return 1;
  }
  out << entry << " succeeded: " << file << " in " << platform::RegistryFilePath() << "\n";
  return 0;
}

}  // namespace

int RunRegister(const Arguments& args, std::ostream& out, std::ostream& err) {
  return CallEntryPoint("register", "DllRegisterServer", args, out, err);
}

int RunUnregister(const Arguments& args, std::ostream& out, std::ostream& err) {
  return CallEntryPoint("unregister", "DllUnregisterServer", args, out, err);
}

}  // namespace tools
