// Test-only views into a running stand-in engine: what a channel sent and
// received, the telephone events it received, and whether the media thread
// kept time; and a frame clock that the test drives. Nothing in the product
// calls these.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/gipsve_export.h"

class GIPSVoiceEngine;

namespace standin {

struct ChannelStatistics {
  std::uint64_t packetsSent = 0;
  std::uint64_t packetsReceived = 0;  // RTP packets accepted from the stream's source
  std::uint64_t packetsIgnored = 0;   // not RTP, unknown payload type, another source, too long
  std::uint64_t packetsFromStrangers = 0;  // RTP and RTCP datagrams not from the peer, dropped
  std::uint64_t rtcpReceived = 0;          // RTCP datagrams from the peer
  std::uint64_t packetsLost = 0;           // gaps in the source's sequence numbers
  std::uint64_t framesConcealed = 0;       // frames the decoder made up for missing packets
  std::uint64_t eventsSent = 0;            // telephone events begun out of band
  std::uint32_t ssrc = 0;                  // the channel's own synchronisation source

  // RTCP. Ours: compound reports sent, and the interarrival jitter of the
  // peer's stream (RTP timestamp units and milliseconds).
  std::uint64_t rtcpSent = 0;
  std::uint64_t rtcpMalformed = 0;          // RTCP datagrams from the peer refused as malformed
  std::uint64_t senderReportsReceived = 0;  // SRs from the peer
  std::uint32_t jitter = 0;
  double jitterMs = 0;
  // The peer's view of our stream, from its last report block about us
  // (all 0 while `peerReported` is false).
  bool peerReported = false;
  int peerFractionLost = 0;  // in 1/256
  std::int32_t peerCumulativeLost = 0;
  std::uint32_t peerJitter = 0;  // in our RTP clock's ticks
  double peerJitterMs = 0;
  int roundTripMs = -1;  // -1 until a report block answered one of our SRs
};

struct EngineStatistics {
  std::uint64_t framesRun = 0;   // 20 ms frames the media thread processed
  std::uint64_t framesLate = 0;  // frames skipped because the thread fell behind
};

struct TelephoneEventRecord {
  int event = 0;
  int volume = 0;
  int durationMs = 0;
  bool ended = false;
};

// False for another engine or an unknown channel.
GIPSVE_API bool ChannelStatisticsForTesting(GIPSVoiceEngine* engine, int channel,
                                            ChannelStatistics* statistics);
GIPSVE_API bool EngineStatisticsForTesting(GIPSVoiceEngine* engine, EngineStatistics* statistics);
// The telephone events the channel received, oldest first (the last 32).
GIPSVE_API std::vector<TelephoneEventRecord> ReceivedTelephoneEventsForTesting(
    GIPSVoiceEngine* engine, int channel);
// Sets the channel's nominal RTCP interval in 20 ms frames (5 s is 250); the
// first report comes after a fifth of it. False for another engine or an
// unknown channel.
GIPSVE_API bool SetRtcpIntervalForTesting(GIPSVoiceEngine* engine, int channel, int frames);

// The engine's time in the test's hands: its media thread stops (or never
// starts) and time stands still until RunFramesForTesting lets `frames`
// 20 ms periods pass on the calling thread, each processed as the thread
// would. Datagrams sent on loopback are queued at once, so engines stepped
// in turn hear each other's packets of a frame in their next frame. One
// caller at a time per engine; false for another engine, and for
// RunFramesForTesting without the manual clock.
GIPSVE_API bool UseManualFrameClockForTesting(GIPSVoiceEngine* engine);
GIPSVE_API bool RunFramesForTesting(GIPSVoiceEngine* engine, int frames);

}  // namespace standin
