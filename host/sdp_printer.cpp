#include "host/sdp_printer.h"

#include <initializer_list>
#include <optional>
#include <vector>

namespace host {

using platform::OleString;
using platform::OleStringView;

namespace {

class SdpTextWriter {
 public:
  void Line(char type, OleStringView value) {
    text_ += static_cast<OLECHAR>(type);
    text_ += '=';
    text_.append(value);
    text_ += MEDLEY_OLESTR("\r\n");
  }
  void Optional(char type, const std::optional<OleString>& value) {
    if (value) Line(type, *value);
  }
  void Lines(char type, const std::vector<OleString>& values) {
    for (const OleString& value : values) Line(type, value);
  }
  void Connection(const std::optional<SdpConnection>& connection) {
    if (!connection) return;
    Line('c', Fields({connection->network_type, connection->address_type, connection->address}));
  }
  OleString Take() { return std::move(text_); }

  static OleString Fields(std::initializer_list<OleStringView> fields) {
    OleString joined;
    for (OleStringView field : fields) {
      if (!joined.empty()) joined += ' ';
      joined.append(field);
    }
    return joined;
  }

 private:
  OleString text_;
};

OleString MediaLineValue(const SdpMedia& media) {
  OleString port = platform::AsciiToWide(std::to_string(media.port));
  if (media.port_count) {
    port += '/';
    port += platform::AsciiToWide(std::to_string(*media.port_count));
  }
  OleString value = SdpTextWriter::Fields({media.media, port, media.transport});
  if (!media.formats.empty()) {
    value += ' ';
    value += media.formats;
  }
  return value;
}

}  // namespace

OleString PrintSdpWide(const SdpSession& session) {
  SdpTextWriter out;
  out.Line('v', session.protocol_version);
  if (const auto& o = session.origin)
    out.Line('o', SdpTextWriter::Fields({o->user_name, o->session_id, o->version, o->network_type,
                                         o->address_type, o->address}));
  out.Optional('s', session.session_name);
  out.Optional('i', session.information);
  out.Optional('u', session.uri);
  out.Lines('e', session.emails);
  out.Lines('p', session.phones);
  out.Connection(session.connection);
  out.Lines('b', session.bandwidths);
  for (const SdpTimeDescription& time : session.times) {
    out.Line('t', time.time);
    out.Lines('r', time.repeats);
  }
  out.Optional('z', session.time_zones);
  out.Optional('k', session.encryption_key);
  out.Lines('a', session.attributes);
  for (const SdpMedia& media : session.media) {
    out.Line('m', MediaLineValue(media));
    out.Optional('i', media.information);
    out.Connection(media.connection);
    out.Lines('b', media.bandwidths);
    out.Optional('k', media.encryption_key);
    out.Lines('a', media.attributes);
  }
  return out.Take();
}

std::string PrintSdp(const SdpSession& session) {
  return platform::WideToNarrow(PrintSdpWide(session));
}

}  // namespace host
