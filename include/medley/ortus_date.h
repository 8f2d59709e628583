// Ortus::Date: one calendar date and time of day with the UTC offset it is
// written in. Validates, computes the weekday, converts to and from seconds
// since 1970, ISO 8601 (basic form) and RFC 2822 text, and a six-byte packed
// form.
//
// The offset `tz` is written as a decimal ±HHMM number: +0200 is 200, -0530
// is -530, UTC is 0. The machine's own offset is its standard (non-daylight)
// offset from the system time zone.
#pragma once

#include <cstdint>

#include "medley/com_base.h"
#include "medley/export.h"
#include "medley/ortus_string.h"

namespace Ortus {

class MEDLEY_API Date {
 public:
  // 1970-01-01 00:00:00 UTC, a Thursday.
  Date();
  // Falls back to 1970-01-01 00:00:00 UTC when the fields are invalid.
  Date(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
       int tz = 0, unsigned weekday = 0);
  Date(const Date& other) = default;
  Date& operator=(const Date& other) = default;

  // Validates and stores the fields; weekday 0 means "compute it" (Monday 1
  // to Sunday 7). False, and nothing changed, when any field is invalid.
  bool initialize(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                  unsigned second, int tz, unsigned weekday);

  // Basic form YYYYMMDDTHHMMSS followed by Z, ±HHMM or ±HH. A text without a
  // zone part is read as UTC. The extended form is not accepted.
  bool fromISO8601(const String& text);
  String asISO8601(bool extended) const;

  // "[Ddd, ]D Mon YYYY HH:MM:SS zone"; the day reads with a leading 0 as octal.
  bool fromRFC2822(const String& text);
  String asRFC2822(bool gmt) const;

  // `seconds` is taken as signed 32-bit (values from 2^31 lie before 1970).
  // With `local` the fields are the machine's local time and its offset.
  // Always true; no validation.
  bool fromEpoch(std::uint32_t seconds, bool local);
  // Seconds since 1970-01-01 00:00:00 UTC, unsigned 32-bit arithmetic.
  std::uint32_t asEpoch() const;
  // The current time, local (machine offset) or UTC. Always true.
  bool now(bool local);

  // Six bytes from calloc (the caller frees them), null when allocation
  // fails. The offset is not stored, only whether it is UTC.
  unsigned char* pack() const;
  // Reads six packed bytes; the offset becomes 0 (UTC) or the machine's.
  bool unpack(const unsigned char* bytes);

  // Components in UTC.
  unsigned getYear() const;
  unsigned getMonth() const;
  unsigned getDay() const;
  unsigned getHour() const;
  unsigned getMinute() const;
  unsigned getSecond() const { return second_; }
  int getTZ() const { return tz_; }
  bool isUTC() const { return tz_ == 0; }
  // Monday 1 to Sunday 7 (0 only after a failed unpack).
  unsigned getWeekday() const { return weekday_; }

  bool operator<(const Date& other) const { return asEpoch() < other.asEpoch(); }
  bool operator>(const Date& other) const { return asEpoch() > other.asEpoch(); }
  bool operator==(const Date& other) const { return asEpoch() == other.asEpoch(); }

  // The UTC components; milliseconds 0.
  operator SYSTEMTIME() const;

 private:
  struct UtcFields {
    int year;
    unsigned month, day, hour, minute;
    int dayShift;  // -1, 0 or +1 (or more) days between the stored and the UTC date
  };
  UtcFields Utc() const;
  void SetFromSeconds(std::int64_t seconds, bool local);

  std::uint32_t year_;
  std::uint32_t month_;
  std::uint32_t day_;
  std::uint32_t hour_;
  std::uint32_t minute_;
  std::uint32_t second_;
  std::int32_t tz_;
  std::uint32_t weekday_;
};

}  // namespace Ortus
