// SHA-1 block compression for the SHA1 class: a portable function, one that
// uses the processor's SHA extensions where built and present, and the
// run-time choice between them. Internal to the foundation library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sha1_compress {

// Processes `count` 64-byte blocks into the five chaining words.
using Function = void (*)(std::uint32_t state[5], const unsigned char* blocks, std::size_t count);

void Portable(std::uint32_t state[5], const unsigned char* blocks, std::size_t count);

// The compression that uses the processor's SHA extensions, or null when
// this build or this processor has none.
Function Accelerated();

// The function SHA1 uses: the accelerated one when available, else the
// portable one, unless a test has chosen.
Function Active();

// Makes SHA1 use `function` (null restores the automatic choice). For tests
// and benchmarks that measure each path on its own.
void SetForTesting(Function function);

}  // namespace sha1_compress
