#include "platform/bstr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace platform {
namespace {

std::uint32_t PrefixOf(BSTR text) {
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(text) - 4, 4);
  return prefix;
}

TEST(Bstr, KeepsTheWindowsLayout) {
  OleString hello = AsciiToWide("hello");
  BSTR text = SysAllocString(hello.c_str());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PrefixOf(text), 10u);  // byte length, not unit count
  EXPECT_EQ(SysStringLen(text), 5u);
  EXPECT_EQ(SysStringByteLen(text), 10u);
  EXPECT_EQ(text[5], 0);
  EXPECT_EQ(OleString(text), hello);
  SysFreeString(text);
}

TEST(Bstr, EmbeddedNulAndNullSources) {
  const OLECHAR units[] = {'a', 0, 'b'};
  BSTR text = SysAllocStringLen(units, 3);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(text[2], 'b');
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(zeroed[i], 0);
  SysFreeString(zeroed);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);  // no effect
  // A length whose byte count cannot fit the 32-bit prefix is refused.
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(BString, OwnsCopiesAndConverts) {
  BString a("caf\xC3\xA9");
  EXPECT_EQ(a.View().size(), 4u);
  EXPECT_EQ(a.Narrow(), "caf\xC3\xA9");
  BString b = a;
  EXPECT_NE(a.Get(), b.Get());  // a deep copy
  EXPECT_EQ(a.View(), b.View());
  BString c = std::move(b);
  EXPECT_TRUE(b.IsNull());
  *c.Receive() = SysAllocString(AsciiToWide("x").c_str());  // the old text is freed
  EXPECT_EQ(BString::Adopt(c.Detach()).Narrow(), "x");
  EXPECT_TRUE(c.IsNull());
  EXPECT_TRUE(BstrView(nullptr).empty());
}

}  // namespace
}  // namespace platform
