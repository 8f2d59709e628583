#include "video/video_size_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "video/resolution_table.h"

namespace {

using platform::AsciiToWide;
using platform::WideToNarrow;
using Sizes = std::vector<std::uint32_t>;

// The twelve offered sizes are checked name by name through BuildVideoSizeList
// below; here the four wide sizes and values outside the table.
TEST(ResolutionTable, WideSizesAndValuesOutsideTheTable) {
  const struct {
    LONG value;
    const char* name;
    LONG width, height;
  } rows[] = {
      {12, "NTSC", 720, 480}, {13, "WQVGA", 400, 240}, {14, "WVGA", 800, 480},
      {15, "WHD", 1280, 720}, {16, "", 0, 0},          {-1, "", 0, 0},
      {0x7FFFFFFF, "", 0, 0},
  };
  for (const auto& row : rows) {
    auto resolution = static_cast<CT_IMAGE_RESOLUTION>(row.value);
    SCOPED_TRACE(row.value);
    EXPECT_EQ(WideToNarrow(video::ResolutionName(resolution)), row.name);
    LONG width = 12345, height = 12345;
    EXPECT_EQ(GetImageWidth(resolution, &width), S_OK);
    EXPECT_EQ(GetImageHeight(resolution, &height), S_OK);
    EXPECT_EQ(width, row.width);
    EXPECT_EQ(height, row.height);
  }
  EXPECT_EQ(GetImageWidth(CT_IMAGE_RES_VGA, nullptr), E_POINTER);
  EXPECT_EQ(GetImageHeight(CT_IMAGE_RES_VGA, nullptr), E_POINTER);
}

// Exact table sizes map to themselves (seen through BuildVideoSizeList); here
// the sizes between and beyond them.
TEST(ResolutionTable, ResolutionFromSize) {
  const struct {
    LONG width, height;
    CT_IMAGE_RESOLUTION expected;
  } cases[] = {
      // The four wide sizes fall into other rows.
      {720, 480, CT_IMAGE_RES_VGA},
      {400, 240, CT_IMAGE_RES_QVGA},
      {800, 480, CT_IMAGE_RES_VGA},
      {1280, 720, CT_IMAGE_RES_HD},
      // Either dimension is enough for the first ten rules.
      {100, 1000, CT_IMAGE_RES_SUBQCIF},
      {5000, 96, CT_IMAGE_RES_SUBQCIF},
      {129, 97, CT_IMAGE_RES_QQVGA},
      {3000, 700, CT_IMAGE_RES_HD},
      // Both dimensions are needed for the last two; larger is 4CIF.
      {1441, 1080, CT_IMAGE_RES_WIDE_FULL_HD},
      {1025, 1081, CT_IMAGE_RES_4CIF},
      {1920, 1200, CT_IMAGE_RES_4CIF},
      {1921, 1080, CT_IMAGE_RES_4CIF},
      {0, 0, CT_IMAGE_RES_SUBQCIF},
      {-5, 5000, CT_IMAGE_RES_SUBQCIF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    CT_IMAGE_RESOLUTION resolution = CT_IMAGE_RES_WHD;
    EXPECT_EQ(video::ResolutionFromSize(c.width, c.height, &resolution), S_OK);
    EXPECT_EQ(resolution, c.expected);
  }
  EXPECT_EQ(video::ResolutionFromSize(640, 480, nullptr), E_POINTER);
}

TEST(VideoSizeTables, KnownNamesAndSizeFromResolutionName) {
  const struct {
    const char* name;
    const char* interval;
    bool known;
    std::uint32_t width, height, frameRate;
  } cases[] = {
      {"qcif", "2", true, 176, 144, 15},
      {"QCIF", "0", true, 176, 144, 30},
      {"QCIF", "99", true, 176, 144, 1},
      {"QCIF", "-3", true, 176, 144, 30},
      {"CIF", " 3x", true, 352, 288, 10},
      {"cif4", "1", true, 704, 576, 30},
      {"4cif", "7", true, 704, 576, 4},
      {"wfullhd", "1", true, 1920, 1080, 30},
      {"HD", "16", true, 960, 720, 1},
      {"XGA", "", true, 1024, 768, 30},
      {"SQCIF", "1", true, 128, 96, 30},
      {"QQVGA", "1", true, 160, 120, 30},
      {"QVGA", "1", true, 320, 240, 30},
      {"vga", "1", true, 640, 480, 30},
      {"SVGA", "1", true, 800, 600, 30},
      {"FullHD", "1", true, 1440, 1080, 30},
      // The rate is written for unknown names too; the size is 0 x 0.
      {"WHD", "2", false, 0, 0, 15},
      {"bogus", "31", false, 0, 0, 1},
      {"NTSC", "1", false, 0, 0, 30},
      {"WVGA", "1", false, 0, 0, 30},
      {"", "1", false, 0, 0, 30},
      {"CIF ", "1", false, 0, 0, 30},
      {"QCIFX", "1", false, 0, 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "=" + c.interval);
    EXPECT_EQ(video::IsKnownResolutionName(AsciiToWide(c.name)), c.known);
    std::uint32_t width = 7, height = 7, frameRate = 7;
    EXPECT_EQ(video::SizeFromResolutionName(AsciiToWide(c.name), AsciiToWide(c.interval), &width,
                                            &height, &frameRate),
              c.known);
    EXPECT_EQ((Sizes{width, height, frameRate}), (Sizes{c.width, c.height, c.frameRate}));
  }
}

// A level per distinct level group, frame rate and table position.
TEST(VideoSizeTables, SizeFromH264Level) {
  const struct {
    const char* profileLevelId;
    bool found;
    std::uint32_t width, height, levelGroup, frameRate;
  } cases[] = {
      {"42e01e", true, 704, 576, 7, 25},
      {"42E01E", true, 704, 576, 7, 25},
      {"420000", true, 128, 96, 1, 30},
      {"42000b", true, 176, 144, 4, 30},
      {"64000C", true, 160, 120, 4, 30},
      {"420015", true, 320, 240, 7, 30},
      {"420029", true, 1920, 1080, 7, 30},
      // "01" has a bit rate only; unknown, long and short texts find nothing.
      {"420001", false, 0, 0, 99, 99},
      {"42001a", false, 0, 0, 99, 99},
      {"42800a00", false, 0, 0, 99, 99},
      {"42e0", false, 0, 0, 99, 99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profileLevelId);
    std::uint32_t width = 99, height = 99, levelGroup = 99, frameRate = 99;
    EXPECT_EQ(video::SizeFromH264Level(AsciiToWide(c.profileLevelId), &width, &height, &levelGroup,
                                       &frameRate),
              c.found);
    EXPECT_EQ((Sizes{width, height, levelGroup, frameRate}),
              (Sizes{c.width, c.height, c.levelGroup, c.frameRate}));
  }
}

TEST(VideoSizeTables, H264LevelBitrateCap) {
  const struct {
    const char* profileLevelId;
    std::int32_t bitRate;
    std::int32_t expected;
  } cases[] = {
      {"42000d", 500, 500}, {"42000D", 767, 767}, {"42000d", 768, 0},     {"420001", 127, 127},
      {"420001", 128, 0},   {"420000", -1, -1},   {"42001e", 9999, 9999}, {"420029", 20000, 0},
      {"42001a", 10, 0},    {"4200", 10, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(video::H264LevelBitrateCap(AsciiToWide(c.profileLevelId), c.bitRate), c.expected)
        << c.profileLevelId << " " << c.bitRate;
}

TEST(VideoSizeTables, SizeForMaxMbpsAndMaxFs) {
  const struct {
    std::int32_t maxMbps;
    std::int32_t width, height;
  } mbps[] = {
      {1485, -1, -1},
      {0, -1, -1},
      {-40, -1, -1},
      {2250, 160, 120},
      {11880, 320, 240},
      {36000, 640, 480},
      {81000, 960, 720},
      {108000, 1024, 768},
      // Everything fits: height 1080 with the width left at -1 (no limit).
      {243000, -1, 1080},
      {0x7FFFFFFF, -1, 1080},
  };
  for (const auto& c : mbps) {
    std::int32_t width = 5;
    EXPECT_EQ(video::SizeForMaxMbps(c.maxMbps, &width), c.height) << c.maxMbps;
    EXPECT_EQ(width, c.width) << c.maxMbps;
  }
  const struct {
    std::int32_t maxFs;
    bool limited;
    std::int32_t width, height;
  } fs[] = {
      {396, true, 320, 240},
      {8192, true, 1440, 1080},
      {75, true, 160, 120},
      {299, true, 160, 120},
      {300, true, 320, 240},
      {1200, true, 640, 480},
      {2700, true, 960, 720},
      {3072, true, 1024, 768},
      {0x7FFFFFFF, true, 1440, 1080},
      // Too small for the first entry: no usable limit.
      {74, false, -1, -1},
      {0, false, -1, 5},
      {-9, false, -1, 5},
  };
  for (const auto& c : fs) {
    std::int32_t width = 5, height = 5;
    EXPECT_EQ(video::SizeForMaxFs(c.maxFs, &width, &height), c.limited) << c.maxFs;
    EXPECT_EQ((std::vector{width, height}), (std::vector{c.width, c.height})) << c.maxFs;
  }
}

TEST(VideoSizeTables, BuildVideoSizeList) {
  const struct {
    CT_IMAGE_RESOLUTION resolution;
    std::uint32_t mode;
    const char* expected;
  } cases[] = {
      {CT_IMAGE_RES_QVGA, 1,
       "QVGA:320x240@30/1 CIF:352x288@30/1 QCIF:176x144@30/1 SQCIF:128x96@30/1 "
       "QQVGA:160x120@30/1 "},
      {CT_IMAGE_RES_WIDE_FULL_HD, 0,
       "WFULLHD:1920x1080@30/0 FULLHD:1440x1080@30/0 XGA:1024x768@30/0 HD:960x720@30/0 "
       "SVGA:800x600@30/0 4CIF:704x576@30/0 VGA:640x480@30/0 QVGA:320x240@30/0 "
       "CIF:352x288@30/0 QCIF:176x144@30/0 SQCIF:128x96@30/0 QQVGA:160x120@30/0 "},
      {CT_IMAGE_RES_QQVGA, 2, "QQVGA:160x120@30/2 "},
      {CT_IMAGE_RES_NTSC, 0, ""},
      {CT_IMAGE_RES_WHD, 0, ""},
      {static_cast<CT_IMAGE_RESOLUTION>(-1), 0, ""},
  };
  for (const auto& c : cases) {
    // The list is appended to, never cleared.
    std::vector<video::VideoSizeEntry> list(1);
    EXPECT_EQ(video::BuildVideoSizeList(c.resolution, c.mode, &list), c.expected[0] != '\0')
        << c.resolution;
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front(), video::VideoSizeEntry{});
    std::string text;
    for (auto it = list.begin() + 1; it != list.end(); ++it)
      text += WideToNarrow(it->name) + ":" + std::to_string(it->width) + "x" +
              std::to_string(it->height) + "@" + std::to_string(it->frameRate) + "/" +
              std::to_string(it->packetizationMode) + " ";
    EXPECT_EQ(text, c.expected) << c.resolution;
  }
}

}  // namespace
