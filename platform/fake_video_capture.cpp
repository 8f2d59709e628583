#include "platform/fake_video_capture.h"

#include <string>

namespace platform {

FakeVideoCapture::FakeVideoCapture() : installed_(this) {}

FakeVideoCapture::~FakeVideoCapture() = default;

CaptureDeviceModel& FakeVideoCapture::AddDevice(OleStringView friendlyName,
                                                OleStringView devicePath) {
  auto device = std::make_shared<CaptureDeviceModel>();
  device->identity = "fake-" + std::to_string(nextIdentity_++);
  device->friendlyName = OleString(friendlyName);
  device->devicePath = OleString(devicePath);
  device->pins.emplace_back();
  devices_.push_back(device);
  return *device;
}

void FakeVideoCapture::RemoveDevice(size_t index) {
  devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
}

HRESULT FakeVideoCapture::ListDevices(CaptureDeviceList* devices) {
  if (FAILED(listResult)) return listResult;
  // Snapshots, so that a test changing a device later cannot pull the
  // description from under objects already built over it.
  devices->clear();
  for (const auto& device : devices_)
    devices->push_back(std::make_shared<const CaptureDeviceModel>(*device));
  return S_OK;
}

HRESULT FakeVideoCapture::ShowPropertyFrame(OleStringView caption, ULONG objectCount,
                                            ULONG pageCount) {
  propertyFrames.push_back({OleString(caption), objectCount, pageCount});
  return S_OK;
}

}  // namespace platform
