#include "video/capture_format.h"

#include <utility>

#include "medley/video_capture.h"
#include "platform/com_ptr.h"
#include "platform/trace.h"

namespace video {
namespace {

using platform::ComPtr;

constexpr LONGLONG kUnitsPerSecond = 10000000;  // 100-nanosecond units

// Frees a media type on scope exit unless it has been handed on.
class MediaTypeHolder {
 public:
  explicit MediaTypeHolder(AM_MEDIA_TYPE* type) : type_(type) {}
  ~MediaTypeHolder() {
    if (type_) DeleteMediaType(type_);
  }
  MediaTypeHolder(const MediaTypeHolder&) = delete;
  MediaTypeHolder& operator=(const MediaTypeHolder&) = delete;

  AM_MEDIA_TYPE* operator->() const { return type_; }
  [[nodiscard]] AM_MEDIA_TYPE* Release() { return std::exchange(type_, nullptr); }

 private:
  AM_MEDIA_TYPE* type_;
};

bool IsVideoInfoType(const AM_MEDIA_TYPE& type, const GUID* subtype) {
  return IsEqualGUID(type.majortype, MEDIATYPE_Video) &&
         (!subtype || IsEqualGUID(*subtype, type.subtype)) &&
         IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.pbFormat &&
         type.cbFormat >= sizeof(VIDEOINFOHEADER);
}

LONG RateOf(LONGLONG interval) {
  return interval == 0 ? 0 : static_cast<LONG>(kUnitsPerSecond / interval);
}

}  // namespace

HRESULT DeleteMediaType(AM_MEDIA_TYPE* mediaType) {
  if (!mediaType) return E_POINTER;
  if (mediaType->cbFormat != 0) {
    CoTaskMemFree(mediaType->pbFormat);
    mediaType->cbFormat = 0;
    mediaType->pbFormat = nullptr;
  }
  if (mediaType->pUnk) {
    mediaType->pUnk->Release();
    mediaType->pUnk = nullptr;
  }
  CoTaskMemFree(mediaType);
  return S_OK;
}

HRESULT GetMediaType(IPin* pin, LONG width, LONG height, LONG* frameRate, const GUID* subtype,
                     AM_MEDIA_TYPE** mediaType) {
  if (!pin || !frameRate || !mediaType) return E_POINTER;
  *mediaType = nullptr;

  ComPtr<IAMStreamConfig> config;
  HRESULT hr = pin->QueryInterface(IID_IAMStreamConfig, config.ReceiveVoid());
  if (FAILED(hr)) return hr;
  int count = 0;
  int size = 0;
  hr = config->GetNumberOfCapabilities(&count, &size);
  if (FAILED(hr)) return hr;
  if (size != static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return E_FAIL;

  for (int index = 0; index < count; ++index) {
    AM_MEDIA_TYPE* reported = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps = {};
    hr = config->GetStreamCaps(index, &reported, reinterpret_cast<BYTE*>(&caps));
    if (FAILED(hr)) return hr;
    if (!reported) continue;
    MediaTypeHolder candidate(reported);
    if (!IsVideoInfoType(*reported, subtype)) continue;

    LONG maxRate = RateOf(caps.MinFrameInterval);
    LONG minRate = RateOf(caps.MaxFrameInterval);
    if (minRate > maxRate) std::swap(minRate, maxRate);
    platform::Trace(
        "CVideoHelper::GetMediaType, Min size: %dx%d, Max size %dx%d, Min FPS: %d, Max FPS: %d\n",
        static_cast<int>(caps.MinOutputSize.cx), static_cast<int>(caps.MinOutputSize.cy),
        static_cast<int>(caps.MaxOutputSize.cx), static_cast<int>(caps.MaxOutputSize.cy),
        static_cast<int>(minRate), static_cast<int>(maxRate));

    // The output granularity is not consulted.
    if (width < caps.MinOutputSize.cx || width > caps.MaxOutputSize.cx ||
        height < caps.MinOutputSize.cy || height > caps.MaxOutputSize.cy)
      continue;

    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(reported->pbFormat);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = info->bmiHeader.biHeight > 0 ? height : -height;

    LONG rate = *frameRate;
    if (rate == 0 || rate > maxRate) rate = maxRate;
    if (rate < minRate) rate = minRate;
    *frameRate = rate;
    if (rate > 0) info->AvgTimePerFrame = kUnitsPerSecond / rate;

    *mediaType = candidate.Release();
    platform::Trace("CVideoHelper::GetMediaType, Match for %dx%d (%d fps)\n",
                    static_cast<int>(width), static_cast<int>(height), static_cast<int>(rate));
    return S_OK;
  }
  platform::Trace("CVideoHelper::GetMediaType, The requested size (%dx%d) is not supported\n",
                  static_cast<int>(width), static_cast<int>(height));
  return S_FALSE;
}

HRESULT GetMediaTypeForResolution(IPin* pin, CT_IMAGE_RESOLUTION resolution, LONG* frameRate,
                                  const GUID* subtype, AM_MEDIA_TYPE** mediaType) {
  if (!pin || !frameRate || !mediaType) return E_POINTER;
  *mediaType = nullptr;
  LONG width = 0;
  LONG height = 0;
  HRESULT hr = GetImageWidth(resolution, &width);
  if (FAILED(hr)) return hr;
  hr = GetImageHeight(resolution, &height);
  if (FAILED(hr)) return hr;

  hr = GetMediaType(pin, width, height, frameRate, subtype, mediaType);
  // Devices without 704 x 576 are offered VGA in its place.
  if (hr == S_FALSE && resolution == CT_IMAGE_RES_4CIF)
    hr = GetMediaType(pin, 640, 480, frameRate, subtype, mediaType);
  return hr;
}

HRESULT FindPinByCategory(IBaseFilter* filter, const GUID* category, IPin** pin) {
  if (!filter || !category || !pin) return E_POINTER;
  *pin = nullptr;
  ComPtr<IEnumPins> pins;
  HRESULT hr = filter->EnumPins(pins.Receive());
  if (FAILED(hr)) return hr;
  if (!pins) return E_FAIL;

  for (;;) {
    ComPtr<IPin> candidate;
    if (pins->Next(1, candidate.Receive(), nullptr) != S_OK || !candidate) break;
    ComPtr<IKsPropertySet> properties;
    if (FAILED(candidate.As(&properties))) continue;
    GUID found = {};
    DWORD returned = 0;
    hr = properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &found, sizeof found,
                         &returned);
    if (SUCCEEDED(hr) && IsEqualGUID(found, *category)) {
      *pin = candidate.Detach();
      return S_OK;
    }
  }
  return S_OK;
}

}  // namespace video

extern "C" MEDLEY_API HRESULT CheckImageResolution(IMoniker* device, LONG allowAllSizes,
                                                   CT_IMAGE_RESOLUTION resolution,
                                                   bool* supported) {
  static_assert(sizeof(bool) == 1);
  if (!supported) return E_POINTER;
  *supported = false;
  // The smallest and the 4CIF size are offered only on request.
  if (allowAllSizes == 0 && (resolution == CT_IMAGE_RES_SUBQCIF || resolution == CT_IMAGE_RES_4CIF))
    return S_OK;
  if (!device) return S_OK;

  platform::ComPtr<IBaseFilter> filter;
  HRESULT hr = device->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReceiveVoid());
  if (FAILED(hr)) return hr;
  platform::ComPtr<IPin> pin;
  hr = video::FindPinByCategory(filter.Get(), &PIN_CATEGORY_CAPTURE, pin.Receive());
  if (FAILED(hr)) return hr;

  // A filter without a capture pin gives E_POINTER here.
  LONG frameRate = 30;
  AM_MEDIA_TYPE* mediaType = nullptr;
  hr = video::GetMediaTypeForResolution(pin.Get(), resolution, &frameRate, nullptr, &mediaType);
  if (FAILED(hr)) return hr;
  if (mediaType) {
    *supported = true;
    video::DeleteMediaType(mediaType);
  }
  return S_OK;
}
