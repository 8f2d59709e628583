// The values a reference network object stores: one field per INetwork
// property, including the write-only ones, so that tests can read what the
// component wrote and preset what it reads.
#pragma once

#include <array>

#include "medley/host_interfaces.h"
#include "platform/wide_text.h"

namespace host {

// The video settings of one image resolution (INetwork::GetVideoParameters).
// Bit rate in kbit/s, frame rate in frames per second, the intra-frame
// frequency in frames.
struct VideoParameters {
  VARIANT_BOOL enabled = VARIANT_FALSE;
  LONG bit_rate = 0;
  LONG frame_rate = 0;
  LONG intra_frame_frequency = 0;
  LONG intra_gob = 0;
  LONG filter = 0;
  VARIANT_BOOL horizontal_filter = VARIANT_FALSE;
  VARIANT_BOOL vertical_filter = VARIANT_FALSE;

  bool operator==(const VideoParameters&) const = default;
};

constexpr int kImageResolutionCount = CT_IMAGE_RES_WHD + 1;

bool IsImageResolution(LONG value);
bool IsTransportType(LONG value);
bool IsConnectionType(LONG value);

// The defaults ResetVideoParameters restores: QCIF, CIF, QVGA and VGA are
// enabled; bit rates grow with the picture size; 15 frames per second below
// QCIF size, 30 above; an intra frame every 10 seconds; no filters.
VideoParameters DefaultVideoParameters(CT_IMAGE_RESOLUTION resolution);
std::array<VideoParameters, kImageResolutionCount> DefaultVideoParameterTable();

struct NetworkSettings {
  VARIANT_BOOL use_static_local_ip = VARIANT_FALSE;
  platform::OleString local_ip = MEDLEY_OLESTR("127.0.0.1");
  // The host's own SIP ports per transport (GetLocalPort).
  LONG local_udp_port = 5060;
  LONG local_tcp_port = 5060;
  LONG local_tls_port = 5061;
  LONG local_sctp_port = 5060;
  CT_TRANSPORT_TYPE contact_transport = CT_TRANSPORT_UDP;
  platform::OleString stun_server_address;
  LONG stun_server_port = 3478;
  VARIANT_BOOL media_possible = VARIANT_TRUE;
  VARIANT_BOOL behind_nat = VARIANT_FALSE;
  VARIANT_BOOL behind_firewall = VARIANT_FALSE;
  VARIANT_BOOL use_heartbeat = VARIANT_FALSE;
  LONG nat_heartbeat_interval = 30;  // seconds
  // SIP timers in milliseconds.
  LONG t1 = 500;
  LONG t2 = 4000;
  LONG t4 = 5000;
  CT_CONNECTION_TYPE connection_type = CT_CONNECTION_TYPE_2048_KBPS;
  LONG audio_tos_value = 0;
  LONG video_tos_value = 0;
  VARIANT_BOOL connected = VARIANT_TRUE;
  VARIANT_BOOL upnp_enabled = VARIANT_FALSE;
  VARIANT_BOOL use_bw_cust_codec_sel = VARIANT_FALSE;
  VARIANT_BOOL use_rport_for_nat_traversal = VARIANT_FALSE;
  LONG preferred_sip_port = 5060;
  LONG preferred_audio_rtp_port = 40000;
  LONG preferred_video_rtp_port = 50000;
  LONG preferred_msrp_port = 2855;
  VARIANT_BOOL voice_messaging_enabled = VARIANT_FALSE;
  std::array<VideoParameters, kImageResolutionCount> video = DefaultVideoParameterTable();
  VARIANT_BOOL net_detection_enabled = VARIANT_FALSE;
  platform::OleString sip_dns_server;
  platform::OleString presence_type;
  VARIANT_BOOL sms_enabled = VARIANT_FALSE;
  platform::OleString user_agent = MEDLEY_OLESTR("Medley reference host");
  VARIANT_BOOL adv_login_enabled = VARIANT_FALSE;
  // Opaque and not owned: the voice engine object the component handed over.
  LONG* voice_engine = nullptr;
  LONG last_audio_channel = -1;
  LONG use_audio_video_synchronization = 0;
  LONG session_expire_time = 1800;  // seconds
};

}  // namespace host
