#include "host/sdp_com_values.h"

#include <limits>

#include "host/com_support.h"
#include "host/sdp_parser.h"
#include "platform/bstr.h"

namespace host {

using platform::OleString;
using platform::OleStringView;

LONG ToLong(size_t value) {
  constexpr size_t kMax = static_cast<size_t>(std::numeric_limits<LONG>::max());
  return static_cast<LONG>(value > kMax ? kMax : value);
}

HRESULT CleanText(BSTR value, OleString* out) {
  OleStringView text = platform::BstrView(value);
  if (!IsSdpLineText(text)) return E_INVALIDARG;
  out->assign(TrimSdpLineEnd(text));
  return S_OK;
}

HRESULT CleanToken(BSTR value, OleString* out) {
  OleStringView text = platform::BstrView(value);
  if (text.empty() || !IsSdpLineText(text) ||
      text.find_first_of(MEDLEY_OLESTR(" \t")) != OleStringView::npos)
    return E_INVALIDARG;
  out->assign(text);
  return S_OK;
}

HRESULT ReadOptionalText(const std::optional<OleString>& value, BSTR* out) {
  return CopyToBstr(value ? OleStringView(*value) : OleStringView(), out);
}

HRESULT WriteOptionalText(std::optional<OleString>& slot, BSTR value) {
  OleString text;
  HRESULT hr = CleanText(value, &text);
  if (FAILED(hr)) return hr;
  if (text.empty())
    slot.reset();
  else
    slot = std::move(text);
  return S_OK;
}

HRESULT ReadFirstText(const std::vector<OleString>& values, BSTR* out) {
  return CopyToBstr(values.empty() ? OleStringView() : OleStringView(values.front()), out);
}

HRESULT WriteOnlyText(std::vector<OleString>& values, BSTR value) {
  OleString text;
  HRESULT hr = CleanText(value, &text);
  if (FAILED(hr)) return hr;
  std::vector<OleString> replacement;
  if (!text.empty()) replacement.push_back(std::move(text));
  values.swap(replacement);
  return S_OK;
}

HRESULT AppendAttribute(std::vector<OleString>& attributes, BSTR value) {
  OleString text;
  HRESULT hr = CleanText(value, &text);
  if (FAILED(hr)) return hr;
  if (!HasSdpField(text)) return E_INVALIDARG;
  // Media lines usually carry several attributes: start with room for some.
  if (attributes.capacity() == 0) attributes.reserve(8);
  attributes.push_back(std::move(text));
  return S_OK;
}

HRESULT CopyAllToBstrs(const OleStringView* texts, BSTR* const* outs, size_t count) {
  bool all_present = true;
  for (size_t i = 0; i < count; ++i) {
    if (outs[i])
      *outs[i] = nullptr;
    else
      all_present = false;
  }
  if (!all_present) return E_POINTER;
  for (size_t i = 0; i < count; ++i) {
    if (FAILED(CopyToBstr(texts[i], outs[i]))) {
      for (size_t k = 0; k < i; ++k) {
        SysFreeString(*outs[k]);
        *outs[k] = nullptr;
      }
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

HRESULT ReadConnection(const std::optional<SdpConnection>& connection, BSTR* network_type,
                       BSTR* address_type, BSTR* address) {
  OleStringView texts[3];
  if (connection) {
    texts[0] = connection->network_type;
    texts[1] = connection->address_type;
    texts[2] = connection->address;
  }
  BSTR* const outs[3] = {network_type, address_type, address};
  return CopyAllToBstrs(texts, outs, 3);
}

HRESULT WriteConnection(std::optional<SdpConnection>& connection, BSTR network_type,
                        BSTR address_type, BSTR address) {
  if (platform::BstrView(network_type).empty() && platform::BstrView(address_type).empty() &&
      platform::BstrView(address).empty()) {
    connection.reset();
    return S_OK;
  }
  SdpConnection value;
  HRESULT hr = CleanToken(network_type, &value.network_type);
  if (SUCCEEDED(hr)) hr = CleanToken(address_type, &value.address_type);
  if (SUCCEEDED(hr)) hr = CleanToken(address, &value.address);
  if (FAILED(hr)) return hr;
  connection = std::move(value);
  return S_OK;
}

}  // namespace host
