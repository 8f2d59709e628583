#include "video/resolution_table.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text.h"

namespace {

TEST(ResolutionTable, NameWidthAndHeightOfEveryValue) {
  const struct {
    LONG value;
    const char* name;
    LONG width, height;
  } rows[] = {
      {0, "SQCIF", 128, 96},      {1, "QCIF", 176, 144},   {2, "CIF", 352, 288},
      {3, "4CIF", 704, 576},      {4, "QQVGA", 160, 120},  {5, "QVGA", 320, 240},
      {6, "VGA", 640, 480},       {7, "SVGA", 800, 600},   {8, "HD", 960, 720},
      {9, "XGA", 1024, 768},      {10, "FULLHD", 1440, 1080}, {11, "WFULLHD", 1920, 1080},
      {12, "NTSC", 720, 480},     {13, "WQVGA", 400, 240}, {14, "WVGA", 800, 480},
      {15, "WHD", 1280, 720},
      // Outside the table: empty name, zero size, still S_OK.
      {16, "", 0, 0},             {-1, "", 0, 0},          {0x7FFFFFFF, "", 0, 0},
  };
  for (const auto& row : rows) {
    auto resolution = static_cast<CT_IMAGE_RESOLUTION>(row.value);
    SCOPED_TRACE(row.value);
    EXPECT_EQ(platform::WideToNarrow(video::ResolutionName(resolution)), row.name);
    LONG width = 12345, height = 12345;
    EXPECT_EQ(GetImageWidth(resolution, &width), S_OK);
    EXPECT_EQ(GetImageHeight(resolution, &height), S_OK);
    EXPECT_EQ(width, row.width);
    EXPECT_EQ(height, row.height);
  }
  EXPECT_EQ(GetImageWidth(CT_IMAGE_RES_VGA, nullptr), E_POINTER);
  EXPECT_EQ(GetImageHeight(CT_IMAGE_RES_VGA, nullptr), E_POINTER);
}

TEST(ResolutionTable, ResolutionFromSize) {
  const struct {
    LONG width, height;
    CT_IMAGE_RESOLUTION expected;
  } cases[] = {
      // Every table size that the classification produces maps to itself.
      {128, 96, CT_IMAGE_RES_SUBQCIF},  {160, 120, CT_IMAGE_RES_QQVGA}, {176, 144, CT_IMAGE_RES_QCIF},
      {320, 240, CT_IMAGE_RES_QVGA},    {352, 288, CT_IMAGE_RES_CIF},   {640, 480, CT_IMAGE_RES_VGA},
      {704, 576, CT_IMAGE_RES_4CIF},    {800, 600, CT_IMAGE_RES_SVGA},  {960, 720, CT_IMAGE_RES_HD},
      {1024, 768, CT_IMAGE_RES_XGA},    {1440, 1080, CT_IMAGE_RES_FULL_HD},
      {1920, 1080, CT_IMAGE_RES_WIDE_FULL_HD},
      // The four wide sizes fall into other rows.
      {720, 480, CT_IMAGE_RES_VGA},     {400, 240, CT_IMAGE_RES_QVGA},  {800, 480, CT_IMAGE_RES_VGA},
      {1280, 720, CT_IMAGE_RES_HD},
      // Either dimension is enough for the first ten rules.
      {100, 1000, CT_IMAGE_RES_SUBQCIF}, {5000, 96, CT_IMAGE_RES_SUBQCIF}, {129, 97, CT_IMAGE_RES_QQVGA},
      {3000, 700, CT_IMAGE_RES_HD},
      // Both dimensions are needed for the last two; larger is 4CIF.
      {1441, 1080, CT_IMAGE_RES_WIDE_FULL_HD}, {1025, 1081, CT_IMAGE_RES_4CIF},
      {1920, 1200, CT_IMAGE_RES_4CIF},  {1921, 1080, CT_IMAGE_RES_4CIF},
      {0, 0, CT_IMAGE_RES_SUBQCIF},     {-5, 5000, CT_IMAGE_RES_SUBQCIF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    CT_IMAGE_RESOLUTION resolution = CT_IMAGE_RES_WHD;
    EXPECT_EQ(video::ResolutionFromSize(c.width, c.height, &resolution), S_OK);
    EXPECT_EQ(resolution, c.expected);
  }
  EXPECT_EQ(video::ResolutionFromSize(640, 480, nullptr), E_POINTER);
}

}  // namespace
