#include "platform/trace.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/wide_text.h"

namespace platform {
namespace {

TEST(Trace, FormatsNarrowWideAndNumbers) {
  std::vector<std::string> lines;
  ScopedTraceSinkForTesting sink([&](const std::string& line) { lines.push_back(line); });
  OleString name = AsciiToWide("PCMU");
  Trace("payload:%d, name:%S, frequency:%d, channels:%d rate:%d packetsize:%d", 0, name.c_str(),
        8000, 1, 64000, 160);
  Trace("%5s|%-3d|%03u|%x|%%|%*d|%.2f|%lld", "ab", 7, 5u, 255u, 4, 9, 1.5, 1LL << 40);
  Trace("%S and %s", static_cast<const OLECHAR*>(nullptr), static_cast<const char*>(nullptr));
  Trace("trailing %");
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "payload:0, name:PCMU, frequency:8000, channels:1 rate:64000 packetsize:160",
                "   ab|7  |005|ff|%|   9|1.50|1099511627776", "(null) and (null)", "trailing %"}));
}

}  // namespace
}  // namespace platform
