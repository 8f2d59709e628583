// Feeds text, as a user or another program could leave it in the class
// registry file, to its reader. Whatever is accepted must print to a text
// that reads back as the same registry and prints the same again; whatever
// is refused must say where.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto parsed = platform::RegistryFile::Parse(text);
  if (!parsed.Ok()) {
    if (parsed.error.rfind("line ", 0) != 0) __builtin_trap();
    return 0;
  }
  const std::string printed = parsed.registry.Print();
  auto reparsed = platform::RegistryFile::Parse(printed);
  if (!reparsed.Ok()) __builtin_trap();
  if (!(reparsed.registry == parsed.registry)) __builtin_trap();
  if (reparsed.registry.Print() != printed) __builtin_trap();
  return 0;
}
