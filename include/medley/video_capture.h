// Video capture functions the component exports by name (C linkage, caller
// removes the arguments). A capture device crosses the boundary as a moniker
// of the video input device category; a moniker handed out belongs to the
// caller, who releases it or passes it back to GetNextVideoInputDevice.
// Every function runs on the caller's thread, on which the caller has
// initialised COM. None keeps state between calls.
#pragma once

#include "medley/export.h"
#include "medley/host_interfaces.h"

// The system headers declare these on Windows (com_base.h includes them) and
// the platform layer elsewhere; the forward declarations agree with both.
struct IMoniker;
struct HWND__;
typedef struct HWND__* HWND;

// Capacity, in wide characters including the terminator, of the buffer a
// caller passes to GetMonikerFriendlyName and GetMonikerDevicePath. Longer
// names and paths are cut to fit.
constexpr unsigned kVideoDeviceTextCapacity = 260;

extern "C" {

// The first device of the category, or null (S_OK in both cases).
// E_POINTER when `device` is null.
MEDLEY_API HRESULT GetFirstVideoInputDevice(IMoniker** device);

// Releases the caller's reference to *device and replaces it with the device
// that follows it in enumeration order, or null when it was the last one or
// is no longer present. E_POINTER when `device` is null.
MEDLEY_API HRESULT GetNextVideoInputDevice(IMoniker** device);

// The first device whose "DevicePath" equals `devicePath` exactly (letter
// case counts), or null. An empty path finds the first device whose path can
// be read. E_POINTER when `device` is null.
MEDLEY_API HRESULT FindVideoInputDeviceByDevicePath(const OLECHAR* devicePath, IMoniker** device);

// Copy the device's "FriendlyName" / "DevicePath" into `name` / `path`, a
// buffer of kVideoDeviceTextCapacity wide characters. On failure the buffer
// holds an empty string and the failure code is returned (E_POINTER for a
// null moniker).
MEDLEY_API HRESULT GetMonikerFriendlyName(IMoniker* device, OLECHAR* name);
MEDLEY_API HRESULT GetMonikerDevicePath(IMoniker* device, OLECHAR* path);

// Shows the capture filter's property pages, modal, owned by `parent`.
// E_POINTER when either argument is null.
MEDLEY_API HRESULT DisplayPropertyPages(IMoniker* device, HWND parent);

// Width / height in pixels of a resolution; 0 (and S_OK) for a value outside
// 0..15. E_POINTER when the out-pointer is null.
MEDLEY_API HRESULT GetImageWidth(CT_IMAGE_RESOLUTION resolution, LONG* width);
MEDLEY_API HRESULT GetImageHeight(CT_IMAGE_RESOLUTION resolution, LONG* height);

// Whether the device's capture pin offers the resolution at 30 fps. With
// `allowAllSizes` 0, SQCIF and 4CIF are reported unsupported without opening
// the device; otherwise a device without 4CIF that offers 640x480 counts as
// supporting 4CIF. A null device is unsupported. *supported is a one-byte
// boolean.
MEDLEY_API HRESULT CheckImageResolution(IMoniker* device, LONG allowAllSizes,
                                        CT_IMAGE_RESOLUTION resolution, bool* supported);

}  // extern "C"
