// Capture devices declared by a test. While a FakeVideoCapture exists, the
// system device enumerator lists its devices instead of the machine's:
//
//   platform::FakeVideoCapture capture;
//   auto& camera = capture.AddDevice(u"Front camera", u"usb-1");
//   camera.pins[0].capabilities.push_back(...);
//
// A device starts with one capture pin and no capabilities. Failures are
// forced through the result fields of the models and of this class.
#pragma once

#include <memory>
#include <vector>

#include "platform/video_capture_backend.h"

namespace platform {

class FakeVideoCapture : public VideoCaptureBackend {
 public:
  FakeVideoCapture();
  ~FakeVideoCapture() override;
  FakeVideoCapture(const FakeVideoCapture&) = delete;
  FakeVideoCapture& operator=(const FakeVideoCapture&) = delete;

  // Appends a device with both properties readable. The reference stays
  // valid for the life of this object; changes show from the next
  // enumeration on (monikers already handed out keep what they saw).
  CaptureDeviceModel& AddDevice(OleStringView friendlyName, OleStringView devicePath);
  void RemoveDevice(size_t index);
  CaptureDeviceModel& Device(size_t index) { return *devices_.at(index); }

  HRESULT CreateEnumerator() override { return createEnumeratorResult; }
  HRESULT ListDevices(CaptureDeviceList* devices) override;
  HRESULT ShowPropertyFrame(OleStringView caption, ULONG objectCount, ULONG pageCount) override;

  HRESULT createEnumeratorResult = S_OK;  // creating the system device enumerator
  HRESULT listResult = S_OK;              // CreateClassEnumerator

  struct PropertyFrame {
    OleString caption;
    ULONG objectCount;
    ULONG pageCount;
  };
  std::vector<PropertyFrame> propertyFrames;  // every OleCreatePropertyFrame, in order

 private:
  std::vector<std::shared_ptr<CaptureDeviceModel>> devices_;
  int nextIdentity_ = 0;
  ScopedVideoCaptureBackendForTesting installed_;
};

}  // namespace platform
