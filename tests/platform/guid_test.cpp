#include "platform/guid.h"

#include <gtest/gtest.h>

#include "medley/host_interfaces.h"

namespace platform {
namespace {

TEST(Guid, TextFormRoundTripsAndAnythingElseIsRefused) {
  EXPECT_EQ(GuidToString(IID_IMediaHandler), "{7C061401-2E21-4BD7-9DB6-5F31E0E09F49}");
  auto parsed = GuidFromString("{7c061401-2e21-4bd7-9db6-5f31e0e09f49}");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_TRUE(IsEqualGUID(*parsed, IID_IMediaHandler));
  EXPECT_EQ(GuidToString(*GuidFromString(GuidToString(IID_IMediaState2))),
            GuidToString(IID_IMediaState2));
  // Anything else is refused.
  const char* bad[] = {"",
                       "{}",
                       "7C061401-2E21-4BD7-9DB6-5F31E0E09F49",
                       "{7C061401-2E21-4BD7-9DB6-5F31E0E09F4}",
                       "{7C061401-2E21-4BD7-9DB6-5F31E0E09F4G}",
                       "{7C061401+2E21-4BD7-9DB6-5F31E0E09F49}",
                       "{7C061401-2E21-4BD7-9DB6-5F31E0E09F49}x"};
  for (const char* text : bad) EXPECT_FALSE(GuidFromString(text).has_value()) << text;
}

}  // namespace
}  // namespace platform
