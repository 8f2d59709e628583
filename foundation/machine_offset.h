// The machine's standard UTC offset, from the operating system's time zone
// information (daylight saving time not applied). One implementation per
// platform: machine_offset_posix.cpp, machine_offset_win.cpp.
#pragma once

namespace Ortus {

// The offset as a decimal ±HHMM number (+0100 is 100, -0530 is -530),
// computed from the bias B in minutes (UTC = local + B) as
// -(B / 60 * 100 + B % 60).
int MachineUtcOffset();

// The ±HHMM form of a bias in minutes, as above.
constexpr int OffsetFromBias(int biasMinutes) {
  return -(biasMinutes / 60 * 100 + biasMinutes % 60);
}

}  // namespace Ortus
