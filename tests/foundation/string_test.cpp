#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "medley/ortus_string.h"

using Ortus::String;

namespace {

std::string Text(const String& s) {
  return s.isNull() ? "<null>" : std::string(s.Ptr(), s.Length());
}

TEST(StringTest, NullEmptyAndNonEmptyAreDistinct) {
  const String fromNull(static_cast<const char*>(nullptr)), zeroLength("abc", 0), empty("", -1);
  EXPECT_TRUE(fromNull.isNull() && zeroLength.isNull() && fromNull.Ptr() == nullptr);
  EXPECT_FALSE(empty.isNull());
  EXPECT_TRUE(fromNull.isEmpty() && zeroLength.isEmpty() && empty.isEmpty());
  EXPECT_EQ(Text(String("abcdef", 4)), "abcd");
}

TEST(StringTest, AdoptsMallocBuffersAndCopiesShareUntilModified) {
  String adopted(::strdup("first"));  // a leak or double free shows under ASan
  adopted = ::strdup("hello");
  adopted << " world";
  EXPECT_EQ(Text(adopted), "hello world");
  String other(::strdup("xyz"));  // an adopted block is copied before it is edited
  other.eatFromBeginning(1);
  EXPECT_EQ(Text(other), "yz");

  String original("abcdef");
  const String copy(original);
  EXPECT_EQ(copy.Ptr(), original.Ptr());
  original.eatFromBeginning(2);
  EXPECT_EQ(Text(original), "cdef");
  EXPECT_EQ(Text(copy), "abcdef");

  String alone("abcdef");
  const char* before = alone.Ptr();
  alone.eatFromBeginning(2);
  EXPECT_EQ(alone.Ptr(), before + 2);  // unshared: only the start moves
  alone.eatFromBeginning(100);
  EXPECT_TRUE(alone.isEmpty() && !alone.isNull());
}

TEST(StringTest, ReferenceCountNeverWraps) {
  const String original("shared");
  std::vector<String> copies(String::kMaxShares + 5, original);
  EXPECT_EQ(copies[String::kMaxShares - 2].Ptr(), original.Ptr());
  EXPECT_NE(copies[String::kMaxShares - 1].Ptr(), original.Ptr());
  EXPECT_EQ(Text(copies.back()), "shared");
  copies.clear();
  EXPECT_EQ(Text(original), "shared");
}

TEST(StringTest, SubStringInsertAndRemoveClampToTheText) {
  const struct {
    unsigned start;
    int count;
    const char* expected;  // null: a null string
  } subs[] = {{0, -1, "abcdef"}, {2, 3, "cde"},    {4, 100, "ef"},           {0, 0, nullptr},
              {6, 1, nullptr},   {7, -1, nullptr}, {0xFFFFFFFFu, 2, nullptr}};
  for (const auto& c : subs)
    EXPECT_EQ(Text(String("abcdef").subString(c.start, c.count)),
              c.expected ? c.expected : "<null>")
        << c.start << "," << c.count;
  EXPECT_TRUE(String().subString(0, 1).isNull());

  const struct {
    const char* text;
    unsigned position;
    const char* expected;
  } inserts[] = {{"XY", 0, "XYabc"}, {"XY", 3, "abcXY"}, {"XY", 1, "aXYbc"},
                 {"XY", 4, "abc"},   {"", 1, "abc"},     {nullptr, 1, "abc"}};
  for (const auto& c : inserts)
    EXPECT_EQ(Text(String("abc").Insert(c.text, c.position)), c.expected);
  String s("abc");
  s.Insert('-', 1).Insert(String("!"), 4);
  EXPECT_EQ(Text(s), "a-bc!");
  s.Insert(s, 0);
  EXPECT_EQ(Text(s), "a-bc!a-bc!");

  const struct {
    unsigned position, count;
    const char* expected;
  } removes[] = {{0, 2, "cdef"},   {4, 100, "abcd"}, {6, 1, "abcdef"},
                 {7, 1, "abcdef"}, {1, 0, "abcdef"}, {2, 0xFFFFFFFFu, "ab"}};
  for (const auto& c : removes)
    EXPECT_EQ(Text(String("abcdef").Remove(c.position, c.count)), c.expected)
        << c.position << "," << c.count;
  String null;
  null.Insert("x", 0).Remove(0, 1);
  EXPECT_TRUE(null.isNull());
}

TEST(StringTest, FindAndReverseFind) {
  using Ortus::CASE_INSENSITIVE;
  using Ortus::CASE_SENSITIVE;
  const String s("aXbxc");
  const struct {
    int found, expected;
  } cases[] = {
      {s.Find('x', 0, CASE_INSENSITIVE), 1},
      {s.Find('x', 2, CASE_SENSITIVE), 1},
      {s.Find('x', 0, CASE_SENSITIVE), 3},
      {s.Find("bX", 0, CASE_INSENSITIVE), 2},
      {s.Find("bX", 0, CASE_SENSITIVE), -1},
      {s.Find("", 1), 0},
      {s.Find('a', 5), -1},
      {s.Find('a', 0xFFFFFFFFu), -1},
      {s.Find(static_cast<const char*>(nullptr)), -1},
      {s.Find(String()), -1},
      {s.Find("cd", 3), -1},
      {s.rFind('x', 0, CASE_INSENSITIVE), 3},
      {s.rFind('X', 2), -1},
      {s.rFind("xc", 1), 2},
      {s.rFind(""), -1},
      {s.rFind(String("", -1), 1), 4},
      {s.rFind('c', 9), -1},
      {String().Find('a'), -1},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].found, cases[i].expected) << "row " << i;
}

TEST(StringTest, ReplaceNeverSearchesItsOwnReplacement) {
  constexpr auto kSensitive = Ortus::CASE_SENSITIVE;
  const struct {
    const char *text, *find, *replacement;
    unsigned start;
    bool all;
    Ortus::case_sensitivity_t sensitivity;
    const char* expected;
  } cases[] = {
      {"aaa", "a", "bb", 0, true, kSensitive, "bbbbbb"},
      {"aaa", "a", "bb", 0, false, kSensitive, "bbaa"},
      {"aaa", "a", "aa", 0, true, kSensitive, "aaaaaa"},
      {"aXa", "x", "", 0, true, Ortus::CASE_INSENSITIVE, "aa"},
      {"aXa", "x", "", 0, true, kSensitive, "aXa"},
      {"abab", "ab", "c", 1, true, kSensitive, "abc"},
      {"abc", "", "x", 0, true, kSensitive, "abc"},
      {"abc", "b", nullptr, 0, true, kSensitive, "abc"},
      {"abc", "b", "x", 9, true, kSensitive, "abc"},
  };
  for (const auto& c : cases) {
    String s(c.text);
    s.Replace(c.find, c.replacement, c.sensitivity, c.start, c.all);
    EXPECT_EQ(Text(s), c.expected) << c.text << " / " << c.find;
  }
  String self("xyx");
  self.Replace(self.subString(0, 1), self, kSensitive, 0, true);
  EXPECT_EQ(Text(self), "xyxyxyx");
}

TEST(StringTest, TrimCaseAndIndexing) {
  String s(" \t ab c\r\n");
  s.trimWhiteSpace();
  EXPECT_EQ(Text(s), "ab c");
  String blank(" \n");
  blank.trimWhiteSpace();
  EXPECT_TRUE(blank.isEmpty() && !blank.isNull());
  EXPECT_EQ(Text(s.toUpper()), "AB C");
  EXPECT_EQ(Text(String("MiXeD").toLower()), "mixed");
  EXPECT_TRUE(String().toUpper().isNull());

  const String shared(s);
  s[0] = 'X';
  s[100] = 'Z';  // a scratch byte: the text stays as it was
  s[-1] = 'Z';
  EXPECT_EQ(Text(s), "Xb c");
  EXPECT_EQ(Text(shared), "ab c");
  const String& view = s;
  EXPECT_EQ(view[1u], 'b');
  EXPECT_EQ(view[4u], '\0');
  EXPECT_EQ(view[0xFFFFFFFFu], '\0');
}

TEST(StringTest, AppendsAndAssignments) {
  String s;
  s << "ab" << 'c';
  s.Append("d\0e", 3);
  EXPECT_EQ(Text(s), std::string("abcd\0e", 6));
  String growing;
  for (int i = 0; i < 1000; ++i) growing += "xy";
  EXPECT_EQ(growing.Length(), 2000u);

  String aliased("abc");
  aliased << aliased.Ptr();
  EXPECT_EQ(Text(aliased), "abcabc");
  aliased = aliased.Ptr() + 3;
  EXPECT_EQ(Text(aliased), "abc");
  aliased += aliased;
  EXPECT_EQ(Text(aliased), "abcabc");

  String nulled(growing);
  nulled = static_cast<const char*>(nullptr);
  EXPECT_TRUE(nulled.isNull());
  EXPECT_EQ(growing.Length(), 2000u);
  nulled << "again";
  EXPECT_EQ(Text(nulled), "again");
  nulled = "";
  EXPECT_TRUE(nulled.isEmpty() && !nulled.isNull());
  String empty;
  empty << String();
  EXPECT_FALSE(empty.isNull());
}

TEST(StringTest, Comparisons) {
  const String null, a("a"), ab("ab");
  EXPECT_TRUE(null == String() && null == static_cast<const char*>(nullptr));
  EXPECT_FALSE(null == String("", -1));
  EXPECT_TRUE(String("", -1) == "");
  EXPECT_TRUE(null < a);
  EXPECT_FALSE(null < String() || null > String());
  EXPECT_TRUE(a < ab && ab > "a");
  EXPECT_TRUE(String("\x80") < a);  // bytes compare as signed chars
  EXPECT_TRUE(a <= "a" && a >= "a" && a != "b");
  EXPECT_TRUE(ab == String("xab").subString(1));
}

TEST(StringFunctionsTest, StrcasestrAndStrndup) {
  const struct {
    const char *haystack, *needle;
    int position;  // -1: not found
  } cases[] = {{"xAb", "ab", 1}, {"aab", "ab", -1}, {"xa", "A", 1},     {"abc", "", -1},
               {"", "a", -1},    {"ABC", "bc", 1},  {"abcab", "CAB", 2}};
  for (const auto& c : cases) {
    const char* found = Ortus::strcasestr(c.haystack, c.needle);
    EXPECT_EQ(found ? static_cast<int>(found - c.haystack) : -1, c.position) << c.haystack;
  }
  EXPECT_EQ(Ortus::strcasestr(nullptr, "a"), nullptr);

  const char unterminated[3] = {'a', 'b', 'c'};  // strndup stops at the limit or a NUL
  for (auto [source, limit, expected] :
       {std::tuple{unterminated, 2, "ab"}, std::tuple{"a\0bc", 4, "a"}}) {
    char* copy = Ortus::strndup(source, limit);
    EXPECT_STREQ(copy, expected);
    std::free(copy);
  }
  EXPECT_EQ(Ortus::strndup(nullptr, 3), nullptr);
}

}  // namespace
