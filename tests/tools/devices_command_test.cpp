#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/video/fake_capture_fixture.h"
#include "tools/commands.h"

namespace video_test {
namespace {

class DevicesCommandTest : public FakeCaptureTest {
 protected:
  int Run(const tools::Arguments& args) {
    out_.str("");
    err_.str("");
    return tools::RunDevices(args, out_, err_);
  }
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(DevicesCommandTest, SaysPlainlyWhenThereAreNoDevices) {
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(out_.str(), "No video capture devices.\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(DevicesCommandTest, ListsDevicesWithTheirResolutions) {
  capture_.AddDevice(u"Front camera", u"usb-1").pins[0].capabilities = {
      Capability({160, 120}, {640, 480}, 5, 30)};
  capture_.AddDevice(u"Rear camera", u"usb-2").pins[0].capabilities = {Fixed(1920, 1080)};
  capture_.AddDevice(u"Tuner", u"pci-3").pins[0].category = PIN_CATEGORY_PREVIEW;
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(out_.str(),
            "1. Front camera\n"
            "   device path: usb-1\n"
            "   resolutions: QCIF 176x144, CIF 352x288, 4CIF 704x576, QQVGA 160x120, "
            "QVGA 320x240, VGA 640x480, WQVGA 400x240\n"
            "2. Rear camera\n"
            "   device path: usb-2\n"
            "   resolutions: WFULLHD 1920x1080\n"
            "3. Tuner\n"
            "   device path: pci-3\n"
            "   resolutions: cannot be checked (0x80004003)\n");
}

TEST_F(DevicesCommandTest, Failures) {
  EXPECT_EQ(Run({"extra"}), 2);
  EXPECT_EQ(err_.str(), "medley devices: unexpected argument 'extra'\n");
  capture_.createEnumeratorResult = E_OUTOFMEMORY;
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(err_.str(),
            "medley devices: the video capture devices cannot be listed (0x8007000E)\n");
}

}  // namespace
}  // namespace video_test
