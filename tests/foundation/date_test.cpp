#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "medley/ortus_date.h"

using Ortus::Date;
using Ortus::String;

namespace {

// Sets TZ for one test and restores the previous value afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone)
      : previous_(std::getenv("TZ") ? std::getenv("TZ") : "") {
    hadPrevious_ = std::getenv("TZ") != nullptr;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    hadPrevious_ ? setenv("TZ", previous_.c_str(), 1) : unsetenv("TZ");
    tzset();
  }

 private:
  std::string previous_;
  bool hadPrevious_;
};

std::string Text(const String& s) {
  return s.isNull() ? "<null>" : std::string(s.Ptr(), s.Length());
}

std::string Fields(const Date& d) {
  const String iso = d.asISO8601(true);
  return Text(iso) + " wd" + std::to_string(d.getWeekday());
}

TEST(DateTest, InitializeValidates) {
  const struct {
    unsigned year, month, day, hour, minute, second;
    int tz;
    bool valid;
  } cases[] = {
      {2023, 2, 29, 0, 0, 0, 0, false},   {2024, 2, 29, 0, 0, 0, 0, true},
      {2100, 2, 29, 0, 0, 0, 0, false},   {2000, 2, 29, 0, 0, 0, 0, true},
      {2024, 1, 1, 0, 0, 0, 545, false},  {2024, 1, 1, 0, 0, 0, 1300, false},
      {2024, 1, 1, 0, 0, 0, -1230, true}, {2024, 1, 1, 0, 0, 0, 30, true},
      {1969, 12, 31, 0, 0, 0, 0, false},  {10000, 1, 1, 0, 0, 0, 0, false},
      {2024, 4, 31, 0, 0, 0, 0, false},   {2024, 13, 1, 0, 0, 0, 0, false},
      {2024, 1, 1, 24, 0, 0, 0, false},   {2024, 1, 1, 23, 60, 0, 0, false},
      {2024, 1, 1, 23, 59, 60, 0, false}, {9999, 12, 31, 23, 59, 59, 1200, true},
  };
  for (const auto& c : cases) {
    Date d;
    EXPECT_EQ(d.initialize(c.year, c.month, c.day, c.hour, c.minute, c.second, c.tz, 0), c.valid)
        << c.year << "-" << c.month << "-" << c.day << " tz " << c.tz;
    if (!c.valid) {
      EXPECT_EQ(Fields(d), "1970-01-01T00:00:00Z wd4");
    }
  }
  Date given;
  EXPECT_FALSE(given.initialize(2024, 1, 1, 0, 0, 0, 0, 8));
  EXPECT_TRUE(given.initialize(2024, 1, 1, 0, 0, 0, 0, 3));  // stored unchecked
  EXPECT_EQ(given.getWeekday(), 3u);
  EXPECT_EQ(Fields(Date(2023, 2, 29, 1, 2, 3)), "1970-01-01T00:00:00Z wd4");
}

TEST(DateTest, WeekdayByDoomsday) {
  const unsigned cases[][4] = {{1970, 1, 1, 4},   {2000, 1, 1, 6},   {2024, 2, 29, 4},
                               {2024, 1, 15, 1},  {2023, 12, 31, 7}, {2100, 3, 1, 1},
                               {1999, 12, 31, 5}, {2024, 3, 1, 5}};
  for (const auto& c : cases)
    EXPECT_EQ(Date(c[0], c[1], c[2], 0, 0, 0).getWeekday(), c[3])
        << c[0] << "-" << c[1] << "-" << c[2];
}

TEST(DateTest, Iso8601) {
  const struct {
    const char* text;
    const char* extended;  // null: refused, the date unchanged
    int tz;
  } cases[] = {
      {"20240115T103000Z", "2024-01-15T10:30:00Z", 0},
      {" 20240115T103000+0100 ", "2024-01-15T10:30:00+0100", 100},
      {"20240115T103000+02", "2024-01-15T10:30:00+0200", 200},
      {"20240115T103000-0530", "2024-01-15T10:30:00-0530", -530},
      {"20240115T103000", "2024-01-15T10:30:00Z", 0},
      {"20240115T103000-05", nullptr, 0},
      {"2024-01-15T10:30:00Z", nullptr, 0},
      {"20240230T103000Z", nullptr, 0},
      {"2024", nullptr, 0},
      {"", nullptr, 0},
  };
  for (const auto& c : cases) {
    Date d(2000, 6, 1, 0, 0, 0);
    EXPECT_EQ(d.fromISO8601(String(c.text, -1)), c.extended != nullptr) << c.text;
    EXPECT_EQ(Text(d.asISO8601(true)), c.extended ? c.extended : "2000-06-01T00:00:00Z");
    EXPECT_EQ(d.getTZ(), c.tz);
  }
  EXPECT_FALSE(Date().fromISO8601(String()));
  EXPECT_EQ(Text(Date(2024, 1, 15, 10, 30, 0).asISO8601(false)), "20240115T103000Z");
  EXPECT_EQ(Text(Date(2024, 1, 15, 10, 30, 0, -530).asISO8601(false)), "20240115T103000-0530");
}

TEST(DateTest, Rfc2822) {
  const struct {
    const char* text;
    const char* iso;  // null: refused
    unsigned weekday;
  } cases[] = {
      {"Mon, 15 Jan 2024 10:30:00 +0100", "2024-01-15T10:30:00+0100", 1},
      {"15 Jan 2024 10:30:00 GMT", "2024-01-15T10:30:00Z", 1},
      {"Fri, 15 Jan 2024 10:30:00 GMT", "2024-01-15T10:30:00Z", 5},  // the given weekday is kept
      {"08 Jan 2024 10:30:00 GMT", "2024-01-08T10:30:00Z", 1},
      {"09 Jan 2024 10:30:00 GMT", nullptr, 0},
      {"15 Foo 2024 10:30:00 GMT", nullptr, 0},
      {"15 Jan 2024 10:30:00", nullptr, 0},
      {"15 Jan 2024 10:30", nullptr, 0},
      {"15Jan", nullptr, 0},
      {"Mon", nullptr, 0},
      {"15 Ja", nullptr, 0},
      {"15 Jan 2024", nullptr, 0},
  };
  for (const auto& c : cases) {
    Date d(2000, 6, 1, 0, 0, 0);
    EXPECT_EQ(d.fromRFC2822(String(c.text)), c.iso != nullptr) << c.text;
    if (c.iso) {
      EXPECT_EQ(Fields(d), std::string(c.iso) + " wd" + std::to_string(c.weekday));
    }
  }
  const Date d(2024, 1, 5, 9, 3, 7);
  EXPECT_EQ(Text(d.asRFC2822(true)), "Fri, 5 Jan 2024 09:03:07 GMT");
  EXPECT_EQ(Text(d.asRFC2822(false)), "Fri, 5 Jan 2024 09:03:07 +0000");
  EXPECT_EQ(Text(Date(2024, 1, 5, 9, 3, 7, -1230).asRFC2822(true)),
            "Fri, 5 Jan 2024 09:03:07 -1230");
}

TEST(DateTest, EpochSeconds) {
  EXPECT_EQ(Date(2024, 2, 29, 12, 0, 0).asEpoch(), 1709208000u);
  EXPECT_EQ(Date(2024, 1, 15, 0, 0, 0, 100).asEpoch(), 1705273200u);
  EXPECT_EQ(Date(2024, 1, 15, 0, 0, 0, -530).asEpoch(), 1705296600u);
  EXPECT_EQ(Date().asEpoch(), 0u);
  EXPECT_TRUE(Date(2024, 1, 15, 1, 0, 0, 100) == Date(2024, 1, 15, 0, 0, 0));
  EXPECT_TRUE(Date(2024, 1, 15, 0, 0, 0, 100) < Date(2024, 1, 15, 0, 0, 0));

  Date d;
  EXPECT_TRUE(d.fromEpoch(1709208000u, false));
  EXPECT_EQ(Fields(d), "2024-02-29T12:00:00Z wd4");
  EXPECT_TRUE(d.fromEpoch(0xFFFFFFFFu, false));  // one second before 1970
  EXPECT_EQ(Fields(d), "1969-12-31T23:59:59Z wd3");
  EXPECT_TRUE(d.now(false));
  const auto now = static_cast<std::uint32_t>(std::time(nullptr));
  EXPECT_LE(now - d.asEpoch(), 2u);
}

TEST(DateTest, LocalTimeFollowsTheMachineZone) {
  // Fields are the system's local time, daylight saving included; tz is the
  // zone's standard offset.
  const struct {
    const char* zone;
    std::uint32_t seconds;
    const char* fields;
  } cases[] = {
      {"XST-05:30", 1705273200u, "2024-01-15T04:30:00+0530 wd1"},      // 2024-01-14 23:00 UTC
      {"Europe/Berlin", 1705273200u, "2024-01-15T00:00:00+0100 wd1"},  // winter
      {"Europe/Berlin", 1719835200u, "2024-07-01T14:00:00+0100 wd1"},  // summer: +2h
      {"Europe/Berlin", 1711846799u, "2024-03-31T01:59:59+0100 wd7"},  // before the switch
      {"Europe/Berlin", 1711846800u, "2024-03-31T03:00:00+0100 wd7"},  // after it
      {"America/New_York", 1719835200u, "2024-07-01T08:00:00-0500 wd1"},
      {"Europe/Berlin", 0xFFFFFFFFu, "1970-01-01T00:59:59+0100 wd4"},  // 1969-12-31 23:59:59 UTC
  };
  for (const auto& c : cases) {
    ScopedTimeZone zone(c.zone);
    Date d;
    EXPECT_TRUE(d.fromEpoch(c.seconds, true));
    EXPECT_EQ(Fields(d), c.fields) << c.zone << " " << c.seconds;
  }

  // now(true) equals the system's local time at one of the seconds around the call.
  ScopedTimeZone zone("Europe/Berlin");
  auto systemLocal = [](std::time_t t) {
    std::tm fields{};
    localtime_r(&t, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+0100", &fields);
    return std::string(text);
  };
  const std::time_t before = std::time(nullptr);
  Date d;
  ASSERT_TRUE(d.now(true));
  const std::time_t after = std::time(nullptr);
  const std::string got = Text(d.asISO8601(true));
  bool matched = false;
  for (std::time_t t = before; t <= after && !matched; ++t) matched = got == systemLocal(t);
  EXPECT_TRUE(matched) << got << " vs " << systemLocal(before);
}

TEST(DateTest, UtcComponentsCrossDayMonthAndYear) {
  const struct {
    Date date;
    const char* utc;  // getters, then SYSTEMTIME (weekday numbered from Sunday = 0)
  } cases[] = {
      {Date(2024, 1, 1, 0, 30, 5, 100), "2023-12-31 23:30:5 | 2023-12-31 23:30:5.0 wd0"},
      {Date(2023, 12, 31, 23, 0, 0, -130), "2024-1-1 0:30:0 | 2024-1-1 0:30:0.0 wd1"},
      {Date(2024, 3, 1, 0, 0, 0, 1200), "2024-2-29 12:0:0 | 2024-2-29 12:0:0.0 wd4"},
      {Date(2023, 3, 1, 0, 0, 0, 30), "2023-2-28 23:30:0 | 2023-2-28 23:30:0.0 wd2"},
      {Date(2024, 1, 15, 10, 15, 0, -530), "2024-1-15 15:45:0 | 2024-1-15 15:45:0.0 wd1"},
  };
  for (const auto& c : cases) {
    const Date& d = c.date;
    const SYSTEMTIME t = d;
    char text[96];
    std::snprintf(text, sizeof text, "%u-%u-%u %u:%u:%u | %u-%u-%u %u:%u:%u.%u wd%u", d.getYear(),
                  d.getMonth(), d.getDay(), d.getHour(), d.getMinute(), d.getSecond(), t.wYear,
                  t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
    EXPECT_EQ(std::string(text), c.utc) << Fields(d);
  }
}

TEST(DateTest, PackAndUnpack) {
  const Date d(2024, 1, 15, 10, 30, 45);
  unsigned char* bytes = d.pack();
  ASSERT_NE(bytes, nullptr);
  const unsigned char expected[6] = {0x1F, 0xA0, 0x5E, 0xA7, 0xAD, 0x5A};
  EXPECT_EQ(std::string(bytes, bytes + 6), std::string(expected, expected + 6));
  Date back;
  EXPECT_TRUE(back.unpack(bytes));
  EXPECT_EQ(Fields(back), "2024-01-15T10:30:45Z wd1");
  std::free(bytes);

  ScopedTimeZone zone("XST-02");
  unsigned char* local = Date(2024, 1, 15, 10, 30, 45, 200).pack();
  EXPECT_EQ(local[5], 0);
  EXPECT_TRUE(back.unpack(local));
  EXPECT_EQ(Fields(back), "2024-01-15T10:30:45+0200 wd1");
  std::free(local);

  const unsigned char invalid[6] = {0x1F, 0xA3, 0xC0, 0, 0, 'Z'};  // month 15
  EXPECT_TRUE(back.unpack(invalid));
  EXPECT_EQ(back.getWeekday(), 0u);
  EXPECT_EQ(back.getDay(), 15u);
}

}  // namespace
