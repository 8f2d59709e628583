#include "host/sdp_session.h"

namespace host {

namespace {

struct MediaWord {
  CT_MEDIA_TYPE type;
  const OLECHAR* word;
};

constexpr MediaWord kMediaWords[] = {
    {CT_MEDIA_AUDIO, MEDLEY_OLESTR("audio")},
    {CT_MEDIA_VIDEO, MEDLEY_OLESTR("video")},
    {CT_MEDIA_APPLICATION, MEDLEY_OLESTR("application")},
    {CT_MEDIA_MSRP, MEDLEY_OLESTR("message")},
};

}  // namespace

CT_MEDIA_TYPE MediaTypeFromWord(platform::OleStringView word) {
  for (const MediaWord& entry : kMediaWords)
    if (platform::WideEqualsNoCase(word, entry.word)) return entry.type;
  return CT_MEDIA_UNKNOWN;
}

platform::OleStringView MediaWordFor(CT_MEDIA_TYPE type) {
  for (const MediaWord& entry : kMediaWords)
    if (entry.type == type) return entry.word;
  return {};
}

SdpSession OutgoingSession(platform::OleStringView address, platform::OleStringView session_id,
                           platform::OleStringView version) {
  const platform::OleString network_type = MEDLEY_OLESTR("IN");
  const platform::OleString address_type = address.find(':') == platform::OleStringView::npos
                                               ? MEDLEY_OLESTR("IP4")
                                               : MEDLEY_OLESTR("IP6");
  SdpSession session;
  session.protocol_version = MEDLEY_OLESTR("0");
  session.origin = SdpOrigin{MEDLEY_OLESTR("-"),
                             platform::OleString(session_id),
                             platform::OleString(version),
                             network_type,
                             address_type,
                             platform::OleString(address)};
  session.session_name = MEDLEY_OLESTR("-");
  session.connection = SdpConnection{network_type, address_type, platform::OleString(address)};
  session.times.push_back(SdpTimeDescription{MEDLEY_OLESTR("0 0"), {}});
  return session;
}

}  // namespace host
