#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "medley/ortus_string.h"

using Ortus::NumberFormat;
using Ortus::String;

namespace {

std::string Text(const String& s) {
  return s.isNull() ? "<null>" : std::string(s.Ptr(), s.Length());
}

TEST(StringNumberTest, ToNumber) {
  const struct {
    const char* text;
    int base;
    int expected;
    bool ok;
  } cases[] = {
      {" \t12\r\n", 10, 12, true}, {"12a", 10, 7, false}, {"0x1F", 0, 31, true},
      {"0X1f", 16, 31, true},      {"017", 0, 15, true},  {"08", 0, 8, true},
      {"09", 0, 7, false},         {"1g", 16, 32, true},  {"-42", 10, -42, true},
      {"+42", 10, 42, true},       {"-", 10, 0, true},    {"0x", 0, 0, true},
      {"4294967297", 10, 1, true}, {"1 2", 10, 7, false}, {"z", 36, 35, true},
      {"ff", 10, 7, false},        {"--1", 10, 7, false}, {"", 10, 7, false},
      {"101", 2, 5, true},         {"3", 2, 7, false},    {"5", -3, 7, false},
  };
  for (const auto& c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(String(c.text).toNumber(7, c.base, &ok), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
  }
  bool ok = true;
  EXPECT_EQ(String().toNumber(7, 10, &ok), 7);
  EXPECT_FALSE(ok);
  EXPECT_EQ(String("5").toNumber(), 5);
}

TEST(StringNumberTest, ToNumber64) {
  EXPECT_EQ(String("9223372036854775807").toNumber64(10, 0),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(String("-0x10").toNumber64(0, 0), -16);
  for (const String& nothing : {String("0x"), String("-"), String("x1"), String()})  // the default
    EXPECT_EQ(nothing.toNumber64(0, 99), 99) << Text(nothing);
}

String Format(unsigned char base, unsigned char width, char fill) {
  String s;
  s << NumberFormat{base, 0, width, fill};
  return s;
}

TEST(StringNumberTest, IntegerAppendsFollowTheFormat) {
  const struct {
    unsigned char base, width;
    char fill;
    std::int64_t value;
    bool asUnsigned;
    const char* expected;
  } cases[] = {
      {10, 5, '0', -42, false, "-0042"},   {10, 5, 0, -42, false, "  -42"},
      {10, 5, '0', 42, true, "000042"},    {10, 5, 0, 42, true, "    42"},
      {16, 0, 0, 255, false, "ff"},        {2, 0, 0, 5, true, "101"},
      {40, 0, 0, 12, false, "12"},         {36, 0, 0, 35, true, "z"},
      {10, 2, '*', 12345, false, "12345"}, {10, 0, 0, 0, true, "0"},
  };
  for (const auto& c : cases) {
    String s = Format(c.base, c.width, c.fill);
    if (c.asUnsigned) {
      s << static_cast<unsigned>(c.value);
    } else {
      s << static_cast<int>(c.value);
    }
    EXPECT_EQ(Text(s), c.expected);
  }
  String wide;
  wide << std::numeric_limits<std::int64_t>::min() << ' '
       << std::numeric_limits<std::uint64_t>::max() << ' ' << std::numeric_limits<int>::min();
  EXPECT_EQ(Text(wide), "-9223372036854775808 18446744073709551615 -2147483648");
  String padded = Format(10, 255, '0');
  padded << static_cast<unsigned>(1);
  EXPECT_EQ(padded.Length(), 256u);
}

TEST(StringNumberTest, FormatHidesTheTextUntilTheNextAppend) {
  String s("n=");
  const String before(s);
  s << NumberFormat{16, 0, 4, '0'};
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(Text(before), "n=");
  s << 26;
  EXPECT_EQ(Text(s), "n=001a");
  String fresh;
  fresh << NumberFormat{10, 0, 0, 0};
  EXPECT_TRUE(fresh.isNull());
  fresh << 1u;
  EXPECT_EQ(Text(fresh), "1");
}

}  // namespace
