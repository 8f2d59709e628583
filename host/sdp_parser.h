// Reads SDP text (RFC 4566) into an SdpSession.
//
// Accepted: CRLF or LF line ends, a missing final line end, spaces, tabs and
// stray CRs at the end of a line (they are dropped), blank lines
// anywhere, session-level lines in any order (they are printed back in the
// order of RFC 4566), empty values where a line is plain text ("s=" as some
// offers write it), and a media section without formats ("m=audio 0 RTP/AVP").
// Lines with a type letter that RFC 4566 does not define (at session or media
// level) are skipped: no ISdpContent member could serve them.
//
// Refused, with the line number: text that does not begin with v=, a line
// that is not <letter>=<value>, control characters inside a line, o= without
// exactly six fields, c= without exactly three, t= without start and stop,
// r= that does not follow t= or r=, m= without media, port and transport, a
// port that is not a number from 0 to 65535 (or a "/count" that is not from
// 1 to 65535), an empty a= line, a second v=, o=, s=, i=, u=, c=, z= or k=
// in the same section, and session-only lines inside a media section.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "host/parse_result.h"
#include "host/sdp_session.h"
#include "platform/wide_text.h"

namespace host {

using SdpParseResult = ParseResult<SdpSession>;

SdpParseResult ParseSdp(platform::OleStringView text);
// 8-bit text is read as UTF-8; invalid sequences become U+FFFD.
SdpParseResult ParseSdp(std::string_view text);

// Helpers the parser and SdpDocument share for checking values.
// Calls `visit` with each field of `text`: the pieces between runs of spaces
// and tabs, empty pieces dropped.
template <class Visit>
void ForEachSdpField(platform::OleStringView text, Visit&& visit) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) visit(text.substr(start, i - start));
  }
}
// The fields of `text` (see ForEachSdpField).
std::vector<platform::OleStringView> SplitSdpFields(platform::OleStringView text);
// True when `text` holds something other than spaces and tabs, i.e. when
// SplitSdpFields would find a field.
bool HasSdpField(platform::OleStringView text);
// True when `text` holds no control character other than a tab.
bool IsSdpLineText(platform::OleStringView text);
// `text` without the spaces and tabs at its end.
platform::OleStringView TrimSdpLineEnd(platform::OleStringView text);
// Reads a port "49170" or "49170/2". False when the text is not a number from
// 0 to 65535, optionally followed by "/" and a number from 1 to 65535.
bool ParseSdpPort(platform::OleStringView text, LONG* port, std::optional<LONG>* count);

}  // namespace host
