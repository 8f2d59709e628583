// Ortus::Date text forms: ISO 8601 (basic form in, basic or extended out) and
// RFC 2822.
#include <cstdio>
#include <cstring>

#include "medley/ortus_date.h"

namespace Ortus {

namespace {

const char* const kDayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Index (0-based) of the name in `names` that the text starts with, or -1.
int LeadingName(const String& text, const char* const* names, int count) {
  if (text.Length() < 3) return -1;
  for (int i = 0; i < count; ++i) {
    if (std::memcmp(text.Ptr(), names[i], 3) == 0) return i;
  }
  return -1;
}

unsigned Field(const String& text, unsigned start, int count, int fallback, int base = 10) {
  return static_cast<unsigned>(text.subString(start, count).toNumber(fallback, base));
}

}  // namespace

bool Date::fromISO8601(const String& text) {
  if (text.isNull()) return false;
  String t(text);
  t.trimWhiteSpace();
  // Character 8 (the 'T') is not looked at.
  const unsigned year = Field(t, 0, 4, 10000);
  const unsigned month = Field(t, 4, 2, 13);
  const unsigned day = Field(t, 6, 2, 32);
  const unsigned hour = Field(t, 9, 2, 25);
  const unsigned minute = Field(t, 11, 2, 61);
  const unsigned second = Field(t, 13, 2, 61);
  int tz = 0;  // no zone part: UTC
  if (t.Length() > 15) {
    const String zone = t.subString(15);
    if (zone != "Z") {
      tz = zone.toNumber(0, 10);
      // "+02" means whole hours; "-05" stays -5 and fails validation.
      if (tz >= 0 && tz <= 29) tz *= 100;
    }
  }
  return initialize(year, month, day, hour, minute, second, tz, 0);
}

String Date::asISO8601(bool extended) const {
  char zone[16] = "Z";
  if (tz_ != 0) std::snprintf(zone, sizeof zone, "%+05d", tz_);
  char text[96];
  std::snprintf(text, sizeof text,
                extended ? "%04u-%02u-%02uT%02u:%02u:%02u%s" : "%04u%02u%02uT%02u%02u%02u%s", year_,
                month_, day_, hour_, minute_, second_, zone);
  return String(static_cast<const char*>(text));
}

bool Date::fromRFC2822(const String& text) {
  if (text.isNull()) return false;
  String t(text);
  t.trimWhiteSpace();
  if (t.Length() < 3) return false;

  unsigned weekday = 0;
  const int dayName = LeadingName(t, kDayNames, 7);
  if (dayName >= 0) {
    weekday = static_cast<unsigned>(dayName) + 1;
    t.eatFromBeginning(5);  // name, comma and blank
  }
  t.trimWhiteSpace();

  const int blank = t.Find(' ');
  if (blank < 0) return false;
  const unsigned day = Field(t, 0, blank, 0, 0);  // base 0: a leading 0 reads octal
  t.eatFromBeginning(static_cast<unsigned>(blank));
  t.trimWhiteSpace();

  const int monthName = LeadingName(t, kMonthNames, 12);
  if (monthName < 0) return false;
  const unsigned month = static_cast<unsigned>(monthName) + 1;
  if (t.Length() < 4) return false;
  t.eatFromBeginning(4);
  t.trimWhiteSpace();

  if (t.Length() < 4) return false;
  const unsigned year = Field(t, 0, 4, 10000);
  if (t.Length() < 5) return false;
  t.eatFromBeginning(5);
  t.trimWhiteSpace();

  if (t.Length() < 9) return false;
  const unsigned hour = Field(t, 0, 2, 25);
  const unsigned minute = Field(t, 3, 2, 61);
  const unsigned second = Field(t, 6, 2, 61);
  t.eatFromBeginning(9);
  t.trimWhiteSpace();

  if (t.isEmpty()) return false;
  const int tz = t.toNumber(0, 10);  // "GMT" reads as 0
  return initialize(year, month, day, hour, minute, second, tz, weekday);
}

String Date::asRFC2822(bool gmt) const {
  char weekday[8] = "";
  if (weekday_ >= 1 && weekday_ <= 7)
    std::snprintf(weekday, sizeof weekday, "%s, ", kDayNames[weekday_ - 1]);
  char zone[16] = "GMT";
  if (!gmt || tz_ != 0) std::snprintf(zone, sizeof zone, "%+05d", tz_);
  const char* month = month_ >= 1 && month_ <= 12 ? kMonthNames[month_ - 1] : "???";
  char text[128];
  std::snprintf(text, sizeof text, "%s%u %s %u %02u:%02u:%02u %s", weekday, day_, month, year_,
                hour_, minute_, second_, zone);
  return String(static_cast<const char*>(text));
}

}  // namespace Ortus
