// Where the DirectShow objects of builds without Windows get their devices
// from. A backend describes each video input device (its properties, its
// pins and their stream capabilities); the system device enumerator,
// monikers, property bags, filters and pins are built over those
// descriptions. The V4L2 backend is used unless a test installs another
// (platform/fake_video_capture.h) at run time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/directshow.h"
#include "platform/wide_text.h"

namespace platform {

// One stream capability of a capture pin: the media type that
// GetStreamCaps hands out and the VIDEO_STREAM_CONFIG_CAPS beside it.
struct CaptureCapability {
  GUID majorType = MEDIATYPE_Video;
  GUID subType = MEDIASUBTYPE_YUY2;
  GUID formatType = FORMAT_VideoInfo;
  std::vector<BYTE> format;  // the format block, a VIDEOINFOHEADER for FORMAT_VideoInfo
  ULONG sampleSize = 0;
  VIDEO_STREAM_CONFIG_CAPS caps = {};
};

// What a FORMAT_VideoInfo capability says about its pictures.
struct VideoInfoShape {
  GUID subType = MEDIASUBTYPE_YUY2;
  DWORD compression = 0;  // biCompression: BI_RGB or a FOURCC
  WORD bitCount = 16;     // bits per pixel
  bool topDown = false;   // negative biHeight
};

// A capability that covers minSize to maxSize (in steps of `step`) at frame
// intervals from minInterval to maxInterval (100-nanosecond units). The
// format block describes maxSize at the shortest interval.
CaptureCapability MakeVideoInfoCapability(const VideoInfoShape& shape, SIZE minSize, SIZE maxSize,
                                          SIZE step, LONGLONG minInterval, LONGLONG maxInterval);

// The VIDEOINFOHEADER in a capability's format block (null when the block is
// too short for one).
VIDEOINFOHEADER* VideoInfoOf(CaptureCapability& capability);

struct CapturePinModel {
  OleString name = u"Capture";
  GUID category = PIN_CATEGORY_CAPTURE;
  bool hasPropertySet = true;     // answers IKsPropertySet
  HRESULT categoryResult = S_OK;  // result of reading the pin category
  bool hasStreamConfig = true;    // answers IAMStreamConfig
  HRESULT capabilityCountResult = S_OK;
  int capabilitySize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  std::vector<CaptureCapability> capabilities;
  int failingCapability = -1;         // GetStreamCaps fails for this index...
  HRESULT capabilityResult = E_FAIL;  // ...with this code
};

struct CaptureDeviceModel {
  // Tells devices apart across enumerations (IMoniker::IsEqual).
  std::string identity;
  // The "FriendlyName" and "DevicePath" properties; nullopt when the
  // property cannot be read.
  std::optional<OleString> friendlyName;
  std::optional<OleString> devicePath;
  HRESULT bindStorageResult = S_OK;  // BindToStorage for the property bag
  HRESULT bindFilterResult = S_OK;   // BindToObject for the filter
  HRESULT enumPinsResult = S_OK;
  std::vector<CapturePinModel> pins;
  // The filter answers ISpecifyPropertyPages when there are pages.
  std::vector<CLSID> propertyPages;
};

using CaptureDeviceList = std::vector<std::shared_ptr<const CaptureDeviceModel>>;

class VideoCaptureBackend {
 public:
  virtual ~VideoCaptureBackend() = default;

  // The result of creating the system device enumerator.
  virtual HRESULT CreateEnumerator() { return S_OK; }
  // The video input devices in enumeration order. A failure becomes the
  // result of CreateClassEnumerator.
  virtual HRESULT ListDevices(CaptureDeviceList* devices) = 0;
  // OleCreatePropertyFrame: there is no window system to show pages in.
  virtual HRESULT ShowPropertyFrame(OleStringView /*caption*/, ULONG /*objectCount*/,
                                    ULONG /*pageCount*/) {
    return E_NOTIMPL;
  }
};

// The backend in use.
VideoCaptureBackend& CurrentVideoCaptureBackend();

// Installs `backend` (not owned) until the guard goes away, then restores the
// previous one. Not for concurrent use with capture calls on other threads.
class ScopedVideoCaptureBackendForTesting {
 public:
  explicit ScopedVideoCaptureBackendForTesting(VideoCaptureBackend* backend);
  ~ScopedVideoCaptureBackendForTesting();
  ScopedVideoCaptureBackendForTesting(const ScopedVideoCaptureBackendForTesting&) = delete;
  ScopedVideoCaptureBackendForTesting& operator=(const ScopedVideoCaptureBackendForTesting&) =
      delete;

 private:
  VideoCaptureBackend* previous_;
};

// Capture objects (enumerators, monikers, property bags, filters) alive now;
// a filter's pins live and die with it. For leak checks in tests.
int LiveCaptureObjectCountForTesting();

}  // namespace platform
