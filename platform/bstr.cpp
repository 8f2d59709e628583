#include "platform/bstr.h"

#include <limits>

namespace platform {

BSTR AllocBstr(OleStringView text) {
  if (text.size() > std::numeric_limits<UINT>::max() / 4) return nullptr;
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR AllocBstr(std::string_view narrow) { return AllocBstr(NarrowToWide(narrow)); }

OleStringView BstrView(BSTR text) {
  if (!text) return {};
  return OleStringView(text, SysStringLen(text));
}

void BString::Reset() {
  if (text_) SysFreeString(std::exchange(text_, nullptr));
}

}  // namespace platform
