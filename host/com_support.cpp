#include "host/com_support.h"

#include "platform/bstr.h"

namespace host {

HRESULT CopyToBstr(platform::OleStringView text, BSTR* out) noexcept {
  if (!out) return E_POINTER;
  *out = platform::AllocBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace host
