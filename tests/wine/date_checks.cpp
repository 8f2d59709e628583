// Ortus::Date's local time over Wine's real time zone functions. The script
// runs this host with TZ=Australia/Sydney (standard +1000, daylight saving
// +1100 from October to April), which Wine maps to its Windows zone.
#include <cstdio>
#include <string>

#include "medley/ortus_date.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

std::string Fields(const Ortus::Date& d) {
  const Ortus::String iso = d.asISO8601(true);
  return iso.isNull() ? "<null>" : std::string(iso.Ptr(), iso.Length());
}

std::string LocalNow() {
  SYSTEMTIME t = {};
  GetLocalTime(&t);
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u+1000", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

}  // namespace

void CheckLocalTime(Checks& checks) {
  const struct {
    std::uint32_t seconds;
    const char* fields;
  } cases[] = {
      {1705276800u, "2024-01-15T11:00:00+1000"},  // 2024-01-15 00:00 UTC, daylight saving
      {1719792000u, "2024-07-01T10:00:00+1000"},  // 2024-07-01 00:00 UTC, standard time
  };
  for (const auto& c : cases) {
    Ortus::Date d;
    d.fromEpoch(c.seconds, true);
    checks.Expect(Fields(d) == c.fields, std::string("date: local time of ") + c.fields, Fields(d));
  }
  // now(true) is the system's local time at one of the seconds around it.
  const std::string before = LocalNow();
  Ortus::Date now;
  now.now(true);
  const std::string after = LocalNow();
  const std::string got = Fields(now);
  checks.Expect(got == before || got == after, "date: now(true) is the system's local time",
                got + " vs " + before);
}

}  // namespace wine_tests
