// medley devices: the video capture devices and their resolutions.
#include <cstdio>
#include <ostream>
#include <string>

#include "medley/video_capture.h"
#include "platform/com_ptr.h"
#include "platform/directshow.h"
#include "platform/wide_text.h"
#include "tools/commands.h"
#include "video/resolution_table.h"

namespace tools {
namespace {

std::string HexCode(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// "QCIF 176x144, CIF 352x288", as CheckImageResolution answers for every
// row of the table with all sizes allowed.
HRESULT SupportedResolutions(IMoniker* device, std::string* list) {
  for (LONG value = 0; value < video::kResolutionCount; ++value) {
    auto resolution = static_cast<CT_IMAGE_RESOLUTION>(value);
    bool supported = false;
    HRESULT hr = CheckImageResolution(device, 1, resolution, &supported);
    if (FAILED(hr)) return hr;
    if (!supported) continue;
    LONG width = 0;
    LONG height = 0;
    GetImageWidth(resolution, &width);
    GetImageHeight(resolution, &height);
    if (!list->empty()) *list += ", ";
    *list += platform::WideToNarrow(video::ResolutionName(resolution)) + " " +
             std::to_string(width) + "x" + std::to_string(height);
  }
  return S_OK;
}

}  // namespace

int RunDevices(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    err << "medley devices: unexpected argument '" << args.front() << "'\n";
    return 2;
  }
  platform::ComInitialization com;
  IMoniker* device = nullptr;
  HRESULT hr = GetFirstVideoInputDevice(&device);
  if (FAILED(hr)) {
    err << "medley devices: the video capture devices cannot be listed (" << HexCode(hr) << ")\n";
    return 1;
  }
  if (!device) {
    out << "No video capture devices.\n";
    return 0;
  }
  for (int number = 1; device; ++number) {
    OLECHAR text[kVideoDeviceTextCapacity];
    GetMonikerFriendlyName(device, text);
    out << number << ". " << platform::WideToNarrow(text) << "\n";
    GetMonikerDevicePath(device, text);
    out << "   device path: " << platform::WideToNarrow(text) << "\n";
    std::string resolutions;
    hr = SupportedResolutions(device, &resolutions);
    if (FAILED(hr))
      out << "   resolutions: cannot be checked (" << HexCode(hr) << ")\n";
    else
      out << "   resolutions: " << (resolutions.empty() ? "none" : resolutions) << "\n";
    hr = GetNextVideoInputDevice(&device);
    if (FAILED(hr)) {
      err << "medley devices: the device list broke off (" << HexCode(hr) << ")\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace tools
