// Text helpers for the reference host tests.
#pragma once

#include <string>
#include <string_view>

#include "platform/bstr.h"

namespace host {

// Frees `text` and answers it as UTF-8; a null BSTR reads as empty.
inline std::string TakeText(BSTR text) { return platform::BString::Adopt(text).Narrow(); }

// An owned BSTR for an [in] argument.
inline platform::BString Text(std::string_view utf8) { return platform::BString(utf8); }

}  // namespace host
