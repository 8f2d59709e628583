#include "foundation/machine_offset.h"

#include <ctime>

namespace Ortus {

int MachineUtcOffset() {
  // `timezone` holds the seconds west of UTC of standard time in TZ.
  tzset();
  return OffsetFromBias(static_cast<int>(timezone / 60));
}

}  // namespace Ortus
