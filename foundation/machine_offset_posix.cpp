#include "foundation/machine_offset.h"

#include <ctime>

namespace Ortus {

int MachineUtcOffset() {
  // `timezone` holds the seconds west of UTC of standard time in TZ.
  tzset();
  return OffsetFromBias(static_cast<int>(timezone / 60));
}

bool MachineLocalTime(std::int64_t secondsSince1970, LocalCalendarTime* local) {
  const auto instant = static_cast<std::time_t>(secondsSince1970);
  std::tm fields{};
  tzset();  // localtime_r need not read TZ again by itself
  if (!localtime_r(&instant, &fields)) return false;
  local->year = static_cast<std::int64_t>(fields.tm_year) + 1900;
  local->month = static_cast<unsigned>(fields.tm_mon + 1);
  local->day = static_cast<unsigned>(fields.tm_mday);
  local->hour = static_cast<unsigned>(fields.tm_hour);
  local->minute = static_cast<unsigned>(fields.tm_min);
  // A leap second (60) is shown as the last ordinary second.
  local->second = static_cast<unsigned>(fields.tm_sec > 59 ? 59 : fields.tm_sec);
  local->weekday = fields.tm_wday == 0 ? 7u : static_cast<unsigned>(fields.tm_wday);
  return true;
}

}  // namespace Ortus
