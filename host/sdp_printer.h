// Writes an SdpSession as SDP text in the line order of RFC 4566, each line
// ended by CRLF, so that reading the text back gives the same session.
#pragma once

#include <string>

#include "host/sdp_session.h"
#include "platform/wide_text.h"

namespace host {

platform::OleString PrintSdpWide(const SdpSession& session);
// The same text in UTF-8.
std::string PrintSdp(const SdpSession& session);

}  // namespace host
