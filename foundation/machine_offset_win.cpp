#include "foundation/machine_offset.h"

#include "medley/com_base.h"

namespace Ortus {

int MachineUtcOffset() {
  TIME_ZONE_INFORMATION info{};
  if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return 0;
  return OffsetFromBias(static_cast<int>(info.Bias));
}

}  // namespace Ortus
