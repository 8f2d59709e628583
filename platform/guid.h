// The registry form of a GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "medley/com_base.h"

namespace platform {

// Upper-case hexadecimal, with braces.
std::string GuidToString(const GUID& guid);

// Accepts the braced form in either letter case; nothing else.
std::optional<GUID> GuidFromString(std::string_view text);

}  // namespace platform
