#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(WideText, CompareNoCase) {
  struct Row {
    const char* a;
    const char* b;
    size_t count;  // 0 = whole string comparison
    int sign;
  };
  const Row rows[] = {
      {"PCMU", "pcmu", 0, 0},     {"pcma", "PCMU", 0, -1},
      {"abc", "ab", 0, 1},        {"", "", 0, 0},
      {"abc", "abd", 2, 0},       {"abc", "ABD", 3, -1},
      {"a", "abc", 5, -1},        {"[", "a", 0, -1},  // '[' < 'a' after folding 'A'..'Z' only
      {"AMR-WB", "amr-wb", 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
    OleString a = AsciiToWide(row.a), b = AsciiToWide(row.b);
    int result = row.count ? WideCompareNoCaseN(a.c_str(), b.c_str(), row.count)
                           : WideCompareNoCase(a.c_str(), b.c_str());
    EXPECT_EQ(Sign(result), row.sign);
    if (!row.count) {
      EXPECT_EQ(WideEqualsNoCase(a, b), row.sign == 0);
    }
  }
  EXPECT_EQ(WideCompareNoCase(nullptr, AsciiToWide("").c_str()), 0);
}

TEST(WideText, ToLongLikeWtol) {
  struct Row {
    const char* text;
    std::int32_t value;
  };
  const Row rows[] = {
      {"42", 42},
      {"  -17x", -17},
      {"+8", 8},
      {"abc", 0},
      {"", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},
      {"1.", 1},
      {"\t\n 5", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(WideToLong(AsciiToWide(row.text).c_str()), row.value);
  }
  EXPECT_EQ(WideToLong(nullptr), 0);
}

TEST(WideText, ToUnsignedLongLikeWcstoul) {
  struct Row {
    const char* text;
    int base;
    std::uint32_t value;
    size_t consumed;
  };
  const Row rows[] = {
      {"42abc", 10, 42, 2},
      {"abc", 10, 0, 0},
      {" +7", 10, 7, 3},
      {"-1", 10, 0xFFFFFFFFu, 2},
      {"4294967296", 10, 0xFFFFFFFFu, 10},
      {"0x1F", 16, 31, 4},
      {"0x1F", 0, 31, 4},
      {"017", 0, 15, 3},
      {"0xg", 16, 0, 1},
      {"ff", 16, 255, 2},
      {"z", 36, 35, 1},
      {"12", 1, 0, 0},
      {"12", 37, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.text) + " base " + std::to_string(row.base));
    OleString text = AsciiToWide(row.text);
    const OLECHAR* end = nullptr;
    EXPECT_EQ(WideToUnsignedLong(text.c_str(), &end, row.base), row.value);
    EXPECT_EQ(static_cast<size_t>(end - text.c_str()), row.consumed);
  }
}

TEST(WideText, Utf8RoundTripAndRepair) {
  const std::string samples[] = {"", "PCMU", "caf\xC3\xA9", "\xE2\x82\xAC 5",
                                 "\xF0\x9F\x8E\xB5 music"};
  for (const std::string& s : samples) EXPECT_EQ(WideToNarrow(NarrowToWide(s)), s);
  EXPECT_EQ(NarrowToWide("\xF0\x9F\x8E\xB5").size(), 2u);  // a surrogate pair

  // Invalid input becomes U+FFFD, never a crash or an over-read.
  const OleString replacement(1, static_cast<OLECHAR>(0xFFFD));
  EXPECT_EQ(NarrowToWide("\xC3"), replacement);
  EXPECT_EQ(NarrowToWide("\xFF"), replacement);
  EXPECT_EQ(NarrowToWide("\xC0\x80"), replacement + replacement);  // overlong
  EXPECT_EQ(NarrowToWide("\xED\xA0\x80").size(), 3u);              // encoded surrogate
  OleString lone(1, static_cast<OLECHAR>(0xD800));
  EXPECT_EQ(WideToNarrow(lone), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToNarrow(static_cast<const OLECHAR*>(nullptr)), "");
}

}  // namespace
}  // namespace platform
