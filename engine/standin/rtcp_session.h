// A channel's RTCP bookkeeping: when the next report is due, what it says,
// and what the peer's reports said about us.
//
// Time: reports are scheduled in frames of the engine's media clock (20 ms
// periods), never by reading a clock, so a test that steps the media clock
// gets the same reports every time. The interval is kIntervalFrames (5 s)
// randomised between 0.5 and 1.5 times; the first report of a session
// comes after a fifth of that (1 s, randomised the same way), so a call
// shows its figures soon. NTP times (the SR's, LSR and DLSR, round trips)
// come from the system clock and are passed in by the caller.
//
// Used by the media thread with the engine lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "engine/standin/rtcp_report.h"
#include "engine/standin/standin_testing.h"

namespace standin {

class RtcpSession {
 public:
  static constexpr int kIntervalFrames = 250;
  static constexpr int kFirstIntervalDivisor = 5;

  // What our sending half has done, for the SR.
  struct SendState {
    std::uint32_t ssrc = 0;
    std::uint64_t packets = 0;
    std::uint64_t octets = 0;  // RTP payload bytes
    bool haveTimestamp = false;
    std::uint32_t rtpTimestamp = 0;  // the report's instant in our RTP clock
  };

  // `random` must outlive the session (the engine's generator).
  explicit RtcpSession(std::mt19937& random);

  // The nominal interval in media frames (at least 1); test builds shorten it.
  void SetIntervalFrames(int frames);
  // The channel stopped reporting: the next Due begins a new schedule.
  void Stop() { scheduled_ = false; }
  // Whether a report is due at media frame `frame` (which grows from call to
  // call); a true answer schedules the next one.
  bool Due(std::uint64_t frame);

  // Builds the report sent at NTP time `ntp` (ReportsSent counts it).
  void Build(const SendState& send, const ReceptionStatistics& reception, std::uint64_t ntp,
             bool bye, RtcpReport* report);
  // A datagram from the peer's RTCP address, arrived at NTP time `ntp`.
  // False when it was malformed (then nothing of it is kept).
  bool OnPacket(const std::uint8_t* data, std::size_t size, std::uint32_t ourSsrc,
                std::uint64_t ntp);
  std::uint64_t ReportsSent() const { return sent_; }
  // Adds the figures of the peer's reports; `sendClockRate` (Hz, 0: unknown) turns the peer's
  // jitter about our stream into milliseconds.
  void AddStatistics(ChannelStatistics* statistics, int sendClockRate) const;

 private:
  std::uint64_t NextGap(int nominal);

  std::mt19937& random_;
  std::string cname_;
  int intervalFrames_ = kIntervalFrames;
  bool scheduled_ = false;
  std::uint64_t nextFrame_ = 0;
  std::uint64_t sent_ = 0;
  std::uint64_t packetsAtLastReport_ = 0;

  // The figures of our previous report block, for its fraction lost.
  std::uint32_t priorSsrc_ = 0;
  std::int64_t expectedPrior_ = 0;
  std::uint64_t receivedPrior_ = 0;

  // The peer's last SR: for LSR and DLSR.
  bool havePeerSr_ = false;
  std::uint32_t peerSrSsrc_ = 0;
  std::uint32_t peerSrMiddle_ = 0;
  std::uint64_t peerSrArrival_ = 0;
  std::uint64_t senderReportsReceived_ = 0;
  std::uint64_t malformed_ = 0;

  // The peer's last report block about us.
  bool peerReported_ = false;
  RtcpReportBlock aboutUs_;
  int roundTripMs_ = -1;
};

}  // namespace standin
