// A reference-counted COM object implementing one interface, for the host
// objects of this example. Objects are created with a count of 1 and delete
// themselves on the last Release.
#pragma once

#include <atomic>
#include <string>

#include <medley/com_base.h>

// SDP text is ASCII, so a unit-by-unit copy converts between BSTR and text.
inline BSTR ToBstr(const std::string& text) {
  std::basic_string<OLECHAR> wide(text.begin(), text.end());
  return SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
}
inline std::string FromBstr(BSTR text) {
  std::string narrow;
  for (UINT i = 0; text && i < SysStringLen(text); ++i)
    narrow += static_cast<char>(text[i] < 0x80 ? text[i] : '?');
  return narrow;
}
// Stores a new BSTR of `text` in *out; E_POINTER for a null out.
inline HRESULT Put(BSTR* out, const std::string& text) {
  if (!out) return E_POINTER;
  *out = ToBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject(const IID& iid) : iid_(iid) {}
  virtual ~ComObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, iid_)) return E_NOINTERFACE;
    *ppv = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 private:
  const IID iid_;
  std::atomic<ULONG> count_{1};
};
