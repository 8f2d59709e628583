#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "medley/auto_char_ptr.h"
#include "platform/trace.h"
#include "protocol/dump_row.h"

namespace {

std::string Content(const cAutoCharPtr& buffer) {
  return buffer.Ptr() ? std::string(buffer.Ptr(), buffer.Length()) : "<none>";
}

TEST(AutoCharPtrTest, GrowsExactlyUpToTheMaximumAndResetKeepsTheBlock) {
  cAutoCharPtr buffer;
  EXPECT_EQ(buffer.Ptr(), nullptr);
  EXPECT_FALSE(buffer.AppendRaw("x", 1));  // no block yet
  ASSERT_TRUE(buffer.Initialize(512, 400000, 450000));
  const std::string big(449990, 'b');
  ASSERT_TRUE(buffer.AppendRaw(big.data(), 600));
  EXPECT_EQ(buffer.BufferSize(), 600u);
  EXPECT_EQ(buffer.Ptr()[600], '\0');
  EXPECT_TRUE(buffer.Reset());
  EXPECT_EQ(buffer.BufferSize(), 600u);
  EXPECT_EQ(buffer.Length(), 0u);

  ASSERT_TRUE(buffer.AppendRaw(big.data(), static_cast<std::uint32_t>(big.size())));
  EXPECT_FALSE(buffer.AppendRaw("0123456789A", 11));
  EXPECT_FALSE(buffer.Append("%s", "0123456789A"));
  EXPECT_FALSE(buffer.AppendRaw("x", 0xFFFFFFFFu));
  EXPECT_EQ(buffer.Length(), big.size());
  EXPECT_TRUE(buffer.AppendRaw("0123456789", 10));
  EXPECT_EQ(buffer.Length(), 450000u);

  cAutoCharPtr small;
  ASSERT_TRUE(small.Initialize(8, 16, 100));
  ASSERT_TRUE(small.AppendRaw(big.data(), 40));
  EXPECT_TRUE(small.Reset());  // 40 > 16: a fresh block of the initial size
  EXPECT_EQ(small.BufferSize(), 8u);
}

TEST(AutoCharPtrTest, RemovingFromTheFront) {
  cAutoCharPtr buffer;
  ASSERT_TRUE(buffer.Initialize(10, 100, 100));
  ASSERT_TRUE(buffer.AppendRaw("0123456789", 10));
  char* before = buffer.Ptr();
  EXPECT_FALSE(buffer.RemoveFromBeginning(11));
  EXPECT_TRUE(buffer.RemoveFromBeginning(3));  // no room left: only the start moves
  EXPECT_EQ(buffer.Ptr(), before + 3);
  EXPECT_EQ(Content(buffer), "3456789");
  ASSERT_TRUE(buffer.AppendRaw("ab", 2));  // compacts first
  EXPECT_EQ(Content(buffer), "3456789ab");
  EXPECT_TRUE(buffer.RemoveFromBeginning(buffer.Length()));
  EXPECT_EQ(buffer.Length(), 0u);
  EXPECT_FALSE(buffer.Normalize(1));
  EXPECT_FALSE(buffer.RemoveFromBeginning(0xFFFFFFFFu));

  ASSERT_TRUE(buffer.AppendRaw("abcdef", 6));
  EXPECT_TRUE(buffer.Normalize(2));
  EXPECT_EQ(Content(buffer), "cdef");
  EXPECT_EQ(buffer.Ptr()[4], '\0');
}

TEST(AutoCharPtrTest, FormattedAppendsAndLineEndings) {
  for (auto [ending, expected] :
       {std::pair{LINE_ENDING_LF, "x\n"}, std::pair{LINE_ENDING_CRLF, "x\r\n"}}) {
    cAutoCharPtr buffer;
    ASSERT_TRUE(buffer.Initialize(1, 10, 100));
    buffer.SetLineEnding(ending);
    EXPECT_TRUE(buffer.AppendLine("%s", "x"));
    EXPECT_EQ(Content(buffer), expected);
  }
  cAutoCharPtr buffer;
  ASSERT_TRUE(buffer.Initialize(4, 10, 100000));
  EXPECT_TRUE(buffer.Append("%d-%s", 42, "ab"));
  EXPECT_TRUE(buffer.Append("%s", buffer.Ptr()));  // an argument inside the buffer
  EXPECT_EQ(Content(buffer), "42-ab42-ab");
  const std::string longText(5000, 'q');
  EXPECT_TRUE(buffer.Append("[%s]", longText.c_str()));
  EXPECT_TRUE(buffer.AppendRaw("\0z", 2));
  EXPECT_EQ(buffer.Length(), 10u + 5002u + 2u);
}

TEST(AutoCharPtrTest, CopyCompareAndRead) {
  cAutoCharPtr a, b, empty;
  ASSERT_TRUE(a.Initialize(4, 10, 100));
  ASSERT_TRUE(b.Initialize(4, 10, 100));
  a.AppendRaw("Hello", 5);
  b.AppendRaw("hELLO", 5);
  EXPECT_TRUE(a == b);
  b.AppendRaw("!", 1);
  EXPECT_FALSE(a == b);

  cAutoCharPtr copy;
  EXPECT_FALSE(copy.Initialize(nullptr));
  EXPECT_FALSE(copy.Initialize(&empty));
  ASSERT_TRUE(copy.Initialize(&a));
  EXPECT_EQ(Content(copy), "Hello");
  EXPECT_EQ(copy.BufferSize(), 7u);
  ASSERT_TRUE(copy.Initialize(&copy));
  EXPECT_EQ(Content(copy), "Hello");

  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  std::fputs("stream data", stream);
  std::rewind(stream);
  EXPECT_EQ(copy.ReadFromDescriptor(stream, 6), 6u);
  EXPECT_EQ(copy.ReadFromDescriptor(stream, 100), 5u);
  EXPECT_EQ(Content(copy), "Hellostream data");
  EXPECT_EQ(copy.ReadFromDescriptor(stream, 1000000), 0u);  // beyond the maximum
  EXPECT_EQ(copy.ReadFromDescriptor(nullptr, 4), 0u);
  std::fclose(stream);
}

TEST(DumpMemoryTest, RowsAndPadding) {
  const unsigned char data[] = {'A', 0x00, '|', 0xE4, 0x7F};
  cAutoCharPtr row;
  ASSERT_TRUE(row.Initialize(512, 400000, 450000));
  ASSERT_TRUE(AppendDumpRow(row, data, 16, 5, 8, true));
  // Three blanks for each of the three missing bytes, one before the characters.
  EXPECT_EQ(Content(row), "0010 (   16) > 41 00 7c e4 7f " + std::string(9, ' ') + " A.|\xE4.   ");
  row.Reset();
  ASSERT_TRUE(AppendDumpRow(row, data, 0, 2, 2, false));
  EXPECT_EQ(Content(row), "0000 (    0) > 41 00 ");

  std::vector<std::string> lines;
  {
    platform::ScopedTraceSinkForTesting sink(
        [&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(cDebugPrint::DumpMemory(reinterpret_cast<const char*>(data), 5, false, 2));
    EXPECT_FALSE(cDebugPrint::DumpMemory(reinterpret_cast<const char*>(data), 5, true, 0));
    EXPECT_FALSE(cDebugPrint::DumpMemory(nullptr, 5, true, 4));
    EXPECT_TRUE(cDebugPrint::DumpMemory(nullptr, 0, true, 4));
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[2].find("0004 (    4) > 7f    "), std::string::npos) << lines[2];
  const std::string shown = "aZ5|'\".,?!*#=$-&()[]{}\\/@><;: \xA3\xF6\xE4\xE5\xD6\xC4\xC5";
  const std::string dotted("\0%^_~+`\t\x7F\x80\xE6\xFF", 12);
  for (const auto& [chars, printable] : {std::pair{shown, true}, std::pair{dotted, false}})
    for (char c : chars)
      EXPECT_EQ(IsDumpPrintable(static_cast<unsigned char>(c)), printable) << int(c);
}

}  // namespace
