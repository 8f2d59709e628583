// Ortus::Date: validation, weekday, seconds since 1970, the packed form and
// the UTC view of the stored fields. Text forms are in ortus_date_text.cpp.
#include "medley/ortus_date.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "foundation/date_calendar.h"
#include "foundation/machine_offset.h"

namespace Ortus {

namespace {

bool ValidOffset(int tz) {
  const int minutes = tz % 100;
  const int hours = tz / 100;
  return (minutes == 0 || minutes == 30 || minutes == -30) && hours >= -12 && hours <= 12;
}

// Conway's doomsday rule; Monday 1 to Sunday 7.
unsigned DoomsdayWeekday(unsigned year, unsigned month, unsigned day) {
  static const int kCenturyAnchor[4] = {2, 0, 5, 3};
  static const int kMonthDoomsday[12] = {3, 28, 0, 4, 9, 6, 11, 8, 5, 10, 7, 12};
  const int anchor = kCenturyAnchor[(year / 100) % 4];
  const int y = static_cast<int>(year % 100);
  const int doomsday = (y / 12 + anchor + y % 12 + (y % 12) / 4) % 7;
  int reference = kMonthDoomsday[month - 1];
  if (IsLeapYear(year) && month <= 2) reference += 1;
  const int weekday = ((doomsday + static_cast<int>(day) - reference) % 7 + 7) % 7;
  return weekday == 0 ? 7 : static_cast<unsigned>(weekday);
}

}  // namespace

Date::Date()
    : year_(1970), month_(1), day_(1), hour_(0), minute_(0), second_(0), tz_(0), weekday_(4) {}

Date::Date(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
           unsigned second, int tz, unsigned weekday)
    : Date() {
  initialize(year, month, day, hour, minute, second, tz, weekday);
}

bool Date::initialize(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second, int tz, unsigned weekday) {
  if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      minute > 59 || second > 59 || weekday > 7 || !ValidOffset(tz) ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  year_ = year;
  month_ = month;
  day_ = day;
  hour_ = hour;
  minute_ = minute;
  second_ = second;
  tz_ = tz;
  weekday_ = weekday != 0 ? weekday : DoomsdayWeekday(year, month, day);
  return true;
}

std::uint32_t Date::asEpoch() const {
  static const std::uint32_t kDaysBeforeMonth[12] = {0,   31,  59,  90,  120, 151,
                                                     181, 212, 243, 273, 304, 334};
  auto leapsThrough = [](std::uint32_t y) { return y / 4 - y / 100 + y / 400; };
  const std::uint32_t monthIndex = month_ >= 1 && month_ <= 12 ? month_ - 1 : 0;
  std::uint32_t days = (year_ - 1970) * 365u + kDaysBeforeMonth[monthIndex] +
                       (leapsThrough(year_ - 1) - leapsThrough(1969)) + day_ - 1;
  if (IsLeapYear(year_) && month_ >= 3) days += 1;
  const auto offsetHours = static_cast<std::uint32_t>(tz_ / 100);
  const auto offsetMinutes = static_cast<std::uint32_t>(tz_ % 100);
  return ((days * 24u + hour_ - offsetHours) * 60u + minute_ - offsetMinutes) * 60u + second_;
}

void Date::SetFromSeconds(std::int64_t seconds, bool local) {
  // Local fields are the operating system's local time (daylight saving
  // included); tz stays the machine's standard offset.
  const int tz = local ? MachineUtcOffset() : 0;
  LocalCalendarTime zoned{};
  if (local && MachineLocalTime(seconds, &zoned)) {
    year_ = static_cast<std::uint32_t>(zoned.year);
    month_ = zoned.month;
    day_ = zoned.day;
    hour_ = zoned.hour;
    minute_ = zoned.minute;
    second_ = zoned.second;
    tz_ = tz;
    weekday_ = zoned.weekday;
    return;
  }
  const std::int64_t shifted = seconds + OffsetMinutes(tz) * 60;
  const std::int64_t days = FloorDivide(shifted, 86400);
  const std::int64_t secondOfDay = shifted - days * 86400;
  const CivilDate date = CivilFromDays(days);
  year_ = static_cast<std::uint32_t>(date.year);
  month_ = date.month;
  day_ = date.day;
  hour_ = static_cast<std::uint32_t>(secondOfDay / 3600);
  minute_ = static_cast<std::uint32_t>(secondOfDay / 60 % 60);
  second_ = static_cast<std::uint32_t>(secondOfDay % 60);
  tz_ = tz;
  weekday_ = WeekdayFromDays(days);
}

bool Date::fromEpoch(std::uint32_t seconds, bool local) {
  SetFromSeconds(static_cast<std::int32_t>(seconds), local);
  return true;
}

bool Date::now(bool local) {
  SetFromSeconds(static_cast<std::int64_t>(std::time(nullptr)), local);
  return true;
}

unsigned char* Date::pack() const {
  auto* bytes = static_cast<unsigned char*>(std::calloc(6, 1));
  if (!bytes) return nullptr;
  const std::uint64_t bits = (static_cast<std::uint64_t>(year_ & 0xFFF) << 26) |
                             (static_cast<std::uint64_t>(month_ & 0xF) << 22) |
                             (static_cast<std::uint64_t>(day_ & 0x1F) << 17) |
                             (static_cast<std::uint64_t>(hour_ & 0x1F) << 12) |
                             (static_cast<std::uint64_t>(minute_ & 0x3F) << 6) | (second_ & 0x3F);
  for (int i = 0; i < 5; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * (4 - i)));
  bytes[5] = tz_ == 0 ? 'Z' : 0;
  return bytes;
}

bool Date::unpack(const unsigned char* bytes) {
  if (!bytes) return false;
  std::uint64_t bits = 0;
  for (int i = 0; i < 5; ++i) bits = bits << 8 | bytes[i];
  const int tz = bytes[5] == 'Z' ? 0 : MachineUtcOffset();
  weekday_ = 0;
  initialize(static_cast<unsigned>(bits >> 26 & 0xFFF), static_cast<unsigned>(bits >> 22 & 0xF),
             static_cast<unsigned>(bits >> 17 & 0x1F), static_cast<unsigned>(bits >> 12 & 0x1F),
             static_cast<unsigned>(bits >> 6 & 0x3F), static_cast<unsigned>(bits & 0x3F), tz, 0);
  return true;
}

Date::UtcFields Date::Utc() const {
  const unsigned month = month_ >= 1 && month_ <= 12 ? month_ : 1;
  const std::int64_t days = DaysFromCivil(static_cast<std::int64_t>(year_), month, day_);
  const std::int64_t minutes =
      days * 1440 + static_cast<std::int64_t>(hour_) * 60 + minute_ - OffsetMinutes(tz_);
  const std::int64_t utcDays = FloorDivide(minutes, 1440);
  const std::int64_t minuteOfDay = minutes - utcDays * 1440;
  const CivilDate date = CivilFromDays(utcDays);
  return UtcFields{static_cast<int>(date.year),
                   date.month,
                   date.day,
                   static_cast<unsigned>(minuteOfDay / 60),
                   static_cast<unsigned>(minuteOfDay % 60),
                   static_cast<int>(utcDays - days)};
}

unsigned Date::getYear() const { return static_cast<unsigned>(Utc().year); }
unsigned Date::getMonth() const { return Utc().month; }
unsigned Date::getDay() const { return Utc().day; }
unsigned Date::getHour() const { return Utc().hour; }
unsigned Date::getMinute() const { return Utc().minute; }

Date::operator SYSTEMTIME() const {
  const UtcFields utc = Utc();
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(utc.year);
  time.wMonth = static_cast<WORD>(utc.month);
  time.wDay = static_cast<WORD>(utc.day);
  time.wHour = static_cast<WORD>(utc.hour);
  time.wMinute = static_cast<WORD>(utc.minute);
  time.wSecond = static_cast<WORD>(second_);
  time.wMilliseconds = 0;
  // Stored Monday 1 .. Sunday 7, moved with the date; Sunday 0 .. Saturday 6.
  const int weekday = static_cast<int>(weekday_ % 7) + utc.dayShift % 7;
  time.wDayOfWeek = static_cast<WORD>((weekday % 7 + 7) % 7);
  return time;
}

}  // namespace Ortus
