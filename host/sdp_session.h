// The content of one SDP session description (RFC 4566) as plain values:
// what SdpDocument serves through ISdpContent, what the parser fills and the
// printer writes. Fields that may be absent are optional; lines that may
// repeat are vectors, kept in the order they were read or added.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "medley/host_interfaces.h"
#include "platform/wide_text.h"

namespace host {

// o=<username> <sess-id> <sess-version> <nettype> <addrtype> <unicast-address>
struct SdpOrigin {
  platform::OleString user_name;
  platform::OleString session_id;
  platform::OleString version;
  platform::OleString network_type;
  platform::OleString address_type;
  platform::OleString address;

  bool operator==(const SdpOrigin&) const = default;
};

// c=<nettype> <addrtype> <connection-address>; the address keeps any
// "/ttl" or "/count" suffix.
struct SdpConnection {
  platform::OleString network_type;
  platform::OleString address_type;
  platform::OleString address;

  bool operator==(const SdpConnection&) const = default;
};

// t=<start-time> <stop-time> with the r= lines that follow it. Both keep the
// text after "t=" and "r=".
struct SdpTimeDescription {
  platform::OleString time;
  std::vector<platform::OleString> repeats;

  bool operator==(const SdpTimeDescription&) const = default;
};

// One m= line and the lines of its media section.
struct SdpMedia {
  // The media word as written ("audio", "video", "message", ...).
  platform::OleString media;
  LONG port = 0;
  // The number after "/" in a port written "49170/2"; absent for a plain port.
  std::optional<LONG> port_count;
  platform::OleString transport;
  // The formats separated by single spaces ("0 8 101"); may be empty.
  platform::OleString formats;
  std::optional<platform::OleString> information;
  std::optional<SdpConnection> connection;
  std::vector<platform::OleString> bandwidths;
  std::optional<platform::OleString> encryption_key;
  // Attribute texts without "a=" ("rtpmap:0 PCMU/8000").
  std::vector<platform::OleString> attributes;

  bool operator==(const SdpMedia&) const = default;
};

struct SdpSession {
  platform::OleString protocol_version = MEDLEY_OLESTR("0");
  std::optional<SdpOrigin> origin;
  std::optional<platform::OleString> session_name;
  std::optional<platform::OleString> information;
  std::optional<platform::OleString> uri;
  std::vector<platform::OleString> emails;
  std::vector<platform::OleString> phones;
  std::optional<SdpConnection> connection;
  std::vector<platform::OleString> bandwidths;
  std::vector<SdpTimeDescription> times;
  std::optional<platform::OleString> time_zones;
  std::optional<platform::OleString> encryption_key;
  std::vector<platform::OleString> attributes;
  std::vector<SdpMedia> media;

  bool operator==(const SdpSession&) const = default;
};

// The media type of a media word, compared without regard to case: "audio"
// 1, "video" 2, "application" 4, "message" (MSRP) 5, any other word 6.
CT_MEDIA_TYPE MediaTypeFromWord(platform::OleStringView word);

// The word written for a media type; empty for CT_MEDIA_UNKNOWN and for
// values outside the enumeration.
platform::OleStringView MediaWordFor(CT_MEDIA_TYPE type);

// A new outgoing description: v=0, o=- <session id> <version> IN IP4
// <address> (IP6 when the address holds a colon), s=-, c= with the same
// address, t=0 0.
SdpSession OutgoingSession(platform::OleStringView address, platform::OleStringView session_id,
                           platform::OleStringView version);

}  // namespace host
