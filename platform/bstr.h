// BSTR ownership and conversion. A null BSTR reads as the empty string.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "medley/com_base.h"
#include "platform/wide_text.h"

namespace platform {

// Allocates a real BSTR (length prefix matching the text) holding `text`.
// Returns null only when memory runs out.
BSTR AllocBstr(OleStringView text);
BSTR AllocBstr(std::string_view narrow);

// The text of a BSTR as a view: SysStringLen units, null reads as empty.
OleStringView BstrView(BSTR text);

// Owns one BSTR and frees it with SysFreeString.
class BString {
 public:
  BString() = default;
  explicit BString(OleStringView text) : text_(AllocBstr(text)) {}
  explicit BString(std::string_view narrow) : text_(AllocBstr(narrow)) {}
  explicit BString(const char* narrow) : BString(std::string_view(narrow)) {}
  BString(const BString& other) : BString(other.View()) {}
  BString(BString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  BString& operator=(BString other) noexcept {
    std::swap(text_, other.text_);
    return *this;
  }
  ~BString() { Reset(); }

  // Takes ownership of a BSTR allocated by someone else.
  static BString Adopt(BSTR text) {
    BString result;
    result.text_ = text;
    return result;
  }

  void Reset();
  // For [out] parameters: frees the current text and exposes the slot.
  BSTR* Receive() {
    Reset();
    return &text_;
  }
  [[nodiscard]] BSTR Detach() { return std::exchange(text_, nullptr); }
  BSTR Get() const { return text_; }
  OleStringView View() const { return BstrView(text_); }
  std::string Narrow() const { return WideToNarrow(View()); }
  bool IsNull() const { return text_ == nullptr; }

 private:
  BSTR text_ = nullptr;
};

}  // namespace platform
