// Processors without a supported SHA instruction set use the portable
// compression only.
#include "foundation/sha1_compress.h"

namespace sha1_compress {

Function Accelerated() { return nullptr; }

}  // namespace sha1_compress
