#include "platform/directshow.h"

namespace platform {

ComInitialization::ComInitialization()
    : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComInitialization::~ComInitialization() {
  if (SUCCEEDED(result_)) CoUninitialize();
}

HRESULT CreateSystemDeviceEnumerator(ComPtr<ICreateDevEnum>* enumerator) {
  if (!enumerator) return E_POINTER;
  return CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum,
                          enumerator->ReceiveVoid());
}

}  // namespace platform
