// The machine's time zone as the operating system reports it: its standard
// UTC offset (daylight saving time not applied) and the local calendar time
// of an instant (daylight saving time applied). One implementation per
// platform: machine_offset_posix.cpp, machine_offset_win.cpp.
#pragma once

#include <cstdint>

namespace Ortus {

// The offset as a decimal ±HHMM number (+0100 is 100, -0530 is -530),
// computed from the bias B in minutes (UTC = local + B) as
// -(B / 60 * 100 + B % 60).
int MachineUtcOffset();

// The ±HHMM form of a bias in minutes, as above.
constexpr int OffsetFromBias(int biasMinutes) {
  return -(biasMinutes / 60 * 100 + biasMinutes % 60);
}

// A calendar time of the machine's zone.
struct LocalCalendarTime {
  std::int64_t year;
  unsigned month;    // 1 to 12
  unsigned day;      // 1 to 31
  unsigned hour;     // 0 to 23
  unsigned minute;   // 0 to 59
  unsigned second;   // 0 to 59
  unsigned weekday;  // Monday 1 to Sunday 7
};

// The local time of `secondsSince1970` (UTC seconds, negative before 1970)
// in the machine's zone, with the daylight saving rules that hold at that
// instant. False when the operating system cannot convert it.
bool MachineLocalTime(std::int64_t secondsSince1970, LocalCalendarTime* local);

}  // namespace Ortus
