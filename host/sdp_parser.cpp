#include "host/sdp_parser.h"

#include <string>

namespace host {

using platform::OleString;
using platform::OleStringView;

namespace {

bool IsAsciiLetter(OLECHAR c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsSessionOnlyType(OLECHAR type) {
  switch (type) {
    case 'v':
    case 'o':
    case 's':
    case 'u':
    case 'e':
    case 'p':
    case 't':
    case 'r':
    case 'z':
      return true;
    default:
      return false;
  }
}

std::string TypeName(OLECHAR type) { return std::string(1, static_cast<char>(type)) + "="; }

// Reads the decimal digits of `text` into *value; false when `text` is empty,
// holds anything but digits, or exceeds `limit`.
bool ParseBoundedNumber(OleStringView text, LONG limit, LONG* value) {
  if (text.empty()) return false;
  LONG result = 0;
  for (OLECHAR c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
    if (result > limit) return false;
  }
  *value = result;
  return true;
}

OleString JoinFields(const std::vector<OleStringView>& fields, size_t first) {
  OleString joined;
  for (size_t i = first; i < fields.size(); ++i) {
    if (!joined.empty()) joined += ' ';
    joined.append(fields[i]);
  }
  return joined;
}

class SdpTextReader {
 public:
  SdpParseResult Read(OleStringView text);

 private:
  // Each answers an empty string when the line was taken, else the reason.
  std::string TakeLine(OLECHAR type, OleStringView value);
  std::string TakeSessionLine(OLECHAR type, OleStringView value);
  std::string TakeMediaLine(OLECHAR type, OleStringView value);
  std::string StartMedia(OleStringView value);

  SdpSession session_;
  bool begun_ = false;
  OLECHAR previous_type_ = 0;
};

std::string TakeOnce(std::optional<OleString>& slot, OLECHAR type, OleStringView value) {
  if (slot) return "second " + TypeName(type) + " line";
  slot.emplace(value);
  return {};
}

std::string TakeConnection(std::optional<SdpConnection>& slot, OleStringView value) {
  if (slot) return "second c= line";
  std::vector<OleStringView> fields = SplitSdpFields(value);
  if (fields.size() != 3) return "c= needs three fields: network type, address type, address";
  slot.emplace(SdpConnection{OleString(fields[0]), OleString(fields[1]), OleString(fields[2])});
  return {};
}

std::string TakeAttribute(std::vector<OleString>& attributes, OleStringView value) {
  if (!HasSdpField(value)) return "empty a= line";
  attributes.emplace_back(value);
  return {};
}

SdpParseResult SdpTextReader::Read(OleStringView text) {
  size_t position = 0;
  long line_number = 0;
  while (position <= text.size()) {
    size_t end = text.find('\n', position);
    if (end == OleStringView::npos) end = text.size();
    OleStringView line = TrimSdpLineEnd(text.substr(position, end - position));
    position = end + 1;
    ++line_number;
    if (line.empty()) continue;

    std::string reason;
    if (!IsSdpLineText(line)) {
      reason = "control character inside the line";
    } else if (line.size() < 2 || !IsAsciiLetter(line[0]) || line[1] != '=') {
      reason = "expected <letter>=<value>";
    } else if (!begun_ && line[0] != 'v') {
      reason = "the description must begin with v=";
    } else {
      reason = TakeLine(line[0], line.substr(2));
    }
    if (!reason.empty())
      return SdpParseResult::Failure("line " + std::to_string(line_number) + ": " + reason);
  }
  if (!begun_) return SdpParseResult::Failure("line 1: empty description, expected v=");
  return SdpParseResult::Success(std::move(session_));
}

std::string SdpTextReader::TakeLine(OLECHAR type, OleStringView value) {
  std::string reason;
  if (!begun_) {
    begun_ = true;
    session_.protocol_version = OleString(value);
  } else if (type == 'm') {
    reason = StartMedia(value);
  } else if (session_.media.empty()) {
    reason = TakeSessionLine(type, value);
  } else if (IsSessionOnlyType(type)) {
    reason = TypeName(type) + " is not allowed inside a media section";
  } else {
    reason = TakeMediaLine(type, value);
  }
  previous_type_ = type;
  return reason;
}

std::string SdpTextReader::TakeSessionLine(OLECHAR type, OleStringView value) {
  switch (type) {
    case 'v':
      return "second v= line";
    case 'o': {
      if (session_.origin) return "second o= line";
      std::vector<OleStringView> f = SplitSdpFields(value);
      if (f.size() != 6)
        return "o= needs six fields: user name, session id, version, network type, "
               "address type, address";
      session_.origin.emplace(SdpOrigin{OleString(f[0]), OleString(f[1]), OleString(f[2]),
                                        OleString(f[3]), OleString(f[4]), OleString(f[5])});
      return {};
    }
    case 's':
      return TakeOnce(session_.session_name, type, value);
    case 'i':
      return TakeOnce(session_.information, type, value);
    case 'u':
      return TakeOnce(session_.uri, type, value);
    case 'e':
      session_.emails.emplace_back(value);
      return {};
    case 'p':
      session_.phones.emplace_back(value);
      return {};
    case 'c':
      return TakeConnection(session_.connection, value);
    case 'b':
      session_.bandwidths.emplace_back(value);
      return {};
    case 't':
      if (SplitSdpFields(value).size() != 2) return "t= needs a start and a stop time";
      session_.times.push_back(SdpTimeDescription{OleString(value), {}});
      return {};
    case 'r':
      if (previous_type_ != 't' && previous_type_ != 'r') return "r= must follow a t= or r= line";
      if (!HasSdpField(value)) return "empty r= line";
      session_.times.back().repeats.emplace_back(value);
      return {};
    case 'z':
      return TakeOnce(session_.time_zones, type, value);
    case 'k':
      return TakeOnce(session_.encryption_key, type, value);
    case 'a':
      return TakeAttribute(session_.attributes, value);
    default:
      return {};  // a type RFC 4566 does not define: skipped
  }
}

std::string SdpTextReader::TakeMediaLine(OLECHAR type, OleStringView value) {
  SdpMedia& media = session_.media.back();
  switch (type) {
    case 'i':
      return TakeOnce(media.information, type, value);
    case 'c':
      return TakeConnection(media.connection, value);
    case 'b':
      media.bandwidths.emplace_back(value);
      return {};
    case 'k':
      return TakeOnce(media.encryption_key, type, value);
    case 'a':
      return TakeAttribute(media.attributes, value);
    default:
      return {};  // a type RFC 4566 does not define: skipped
  }
}

std::string SdpTextReader::StartMedia(OleStringView value) {
  std::vector<OleStringView> fields = SplitSdpFields(value);
  if (fields.size() < 3) return "m= needs media, port and transport";
  SdpMedia media;
  if (!ParseSdpPort(fields[1], &media.port, &media.port_count))
    return "m= port is not a number from 0 to 65535";
  media.media = OleString(fields[0]);
  media.transport = OleString(fields[2]);
  media.formats = JoinFields(fields, 3);
  session_.media.push_back(std::move(media));
  return {};
}

}  // namespace

std::vector<OleStringView> SplitSdpFields(OleStringView text) {
  std::vector<OleStringView> fields;
  ForEachSdpField(text, [&](OleStringView field) { fields.push_back(field); });
  return fields;
}

bool HasSdpField(OleStringView text) {
  return text.find_first_not_of(MEDLEY_OLESTR(" \t")) != OleStringView::npos;
}

bool IsSdpLineText(OleStringView text) {
  for (OLECHAR c : text)
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  return true;
}

OleStringView TrimSdpLineEnd(OleStringView text) {
  size_t size = text.size();
  while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == '\t' || text[size - 1] == '\r'))
    --size;
  return text.substr(0, size);
}

bool ParseSdpPort(OleStringView text, LONG* port, std::optional<LONG>* count) {
  size_t slash = text.find('/');
  LONG number = 0;
  if (!ParseBoundedNumber(text.substr(0, slash), 65535, &number)) return false;
  std::optional<LONG> ports;
  if (slash != OleStringView::npos) {
    LONG value = 0;
    if (!ParseBoundedNumber(text.substr(slash + 1), 65535, &value) || value == 0) return false;
    ports = value;
  }
  *port = number;
  *count = ports;
  return true;
}

SdpParseResult ParseSdp(OleStringView text) { return SdpTextReader().Read(text); }

SdpParseResult ParseSdp(std::string_view text) {
  return ParseSdp(OleStringView(platform::NarrowToWide(text)));
}

}  // namespace host
