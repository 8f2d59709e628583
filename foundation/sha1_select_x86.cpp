// Chooses the SHA-extension compression on x86 processors that report SHA,
// SSSE3 and SSE4.1 through CPUID.
#include <cpuid.h>

#include "foundation/sha1_compress.h"

namespace sha1_compress {

Function ShaExtensionsCompress();

namespace {

bool ProcessorHasShaExtensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool vectors = (ecx & bit_SSSE3) && (ecx & bit_SSE4_1);
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return vectors && (ebx & bit_SHA);
}

}  // namespace

Function Accelerated() {
  static const bool available = ProcessorHasShaExtensions();
  return available ? ShaExtensionsCompress() : nullptr;
}

}  // namespace sha1_compress
