// Choosing a capture media type on a DirectShow capture pin: the first
// stream capability whose size range holds the wanted size, with that size
// and a frame rate clamped into the capability's range written into it.
// Nothing here changes a device's format: the caller applies what it gets.
// Stateless; callers' threads, on which COM is initialised.
#pragma once

#include "medley/host_interfaces.h"
#include "platform/directshow.h"

namespace video {

// Picks a media type of width x height from the pin's stream capabilities,
// in the device's order. Only video capabilities with a VIDEOINFOHEADER and,
// when `subtype` is not null, that subtype take part. `frameRate` (frames
// per second) is the wanted rate on entry, 0 meaning as fast as possible; on
// a match it becomes the rate set: clamped into the capability's range, with
// AvgTimePerFrame = 10,000,000 / rate (left as the device reported it when
// the range is unknown, i.e. the rate comes out 0 or less). biHeight keeps
// the sign of the device's value (0 counts as negative).
// S_OK with *mediaType the caller's (free it with DeleteMediaType); S_FALSE
// and null when nothing matches; E_POINTER for a null pin, rate or out-
// pointer; E_FAIL when the pin's capability structures are not video ones;
// or the code of a failing pin call.
HRESULT GetMediaType(IPin* pin, LONG width, LONG height, LONG* frameRate, const GUID* subtype,
                     AM_MEDIA_TYPE** mediaType);

// GetMediaType for a row of the resolution table. 4CIF falls back to
// 640 x 480 when the device has no 704 x 576.
HRESULT GetMediaTypeForResolution(IPin* pin, CT_IMAGE_RESOLUTION resolution, LONG* frameRate,
                                  const GUID* subtype, AM_MEDIA_TYPE** mediaType);

// The first pin of the filter whose pin category (AMPROPERTY_PIN_CATEGORY)
// equals `category`; S_OK with a null pin when there is none. E_POINTER for
// a null argument; the failure of EnumPins is returned.
HRESULT FindPinByCategory(IBaseFilter* filter, const GUID* category, IPin** pin);

// Frees a media type handed out by a pin or by the functions above: the
// format block, the pUnk reference, then the structure (all task memory).
// E_POINTER for null.
HRESULT DeleteMediaType(AM_MEDIA_TYPE* mediaType);

}  // namespace video
