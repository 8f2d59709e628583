#include "foundation/machine_offset.h"

#include "medley/com_base.h"

namespace Ortus {

int MachineUtcOffset() {
  TIME_ZONE_INFORMATION info{};
  if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return 0;
  return OffsetFromBias(static_cast<int>(info.Bias));
}

bool MachineLocalTime(std::int64_t secondsSince1970, LocalCalendarTime* local) {
  // 100-nanosecond units since 1601-01-01, the FILETIME epoch.
  const std::int64_t ticks = secondsSince1970 * 10000000 + 116444736000000000LL;
  if (ticks < 0) return false;
  FILETIME fileTime{};
  fileTime.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks));
  fileTime.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  SYSTEMTIME utc{};
  SYSTEMTIME zoned{};
  if (!FileTimeToSystemTime(&fileTime, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &zoned)) return false;
  local->year = zoned.wYear;
  local->month = zoned.wMonth;
  local->day = zoned.wDay;
  local->hour = zoned.wHour;
  local->minute = zoned.wMinute;
  local->second = zoned.wSecond;
  local->weekday = zoned.wDayOfWeek == 0 ? 7u : zoned.wDayOfWeek;
  return true;
}

}  // namespace Ortus
