// The host's side of the contract, as small as this example needs: network
// settings (INetwork) and the state of one media line (IMediaState and
// IMediaState2). A softphone backs these with its own configuration and call
// state; here they are plain values.
#pragma once

#include <string>

#include <medley/host_interfaces.h>

#include "com_object.h"

// The settings the plug-in reads: the local address, the preferred RTP port,
// the connection type and the type-of-service value; it hands the voice
// engine back through VoiceEngine and tells the last reserved channel.
// Everything else answers E_NOTIMPL.
INetwork* CreateHostNetwork(const std::string& localIp, LONG preferredAudioPort);

// One media line of a call: its reserved channel (-1 for none), whether the
// offer has a format in common with the plug-in, whether the line is turned
// down (terminated); it sends and receives both ways.
IMediaState* CreateHostMediaState(LONG channelId, VARIANT_BOOL anyCommonFormat,
                                  VARIANT_BOOL terminated);
