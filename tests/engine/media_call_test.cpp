// Calls between two stand-in engines over loopback, driven through the
// engine contract only: audio, telephone events, packet marking, silence
// suppression, mute, levels and recordings. The engines run on the test's
// frame clock, one frame of each in turn, except where the media thread's
// own timing is the point.
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace engine_test;
using namespace std::chrono_literals;

constexpr int kRate = 16000;  // the engine's PCM files and playout recordings
constexpr double kAmplitude = 8000;

// Sender and receiver engines on loopback, on the test's frame clock. The
// receiver listens, plays out and records its playout as 16 kHz PCM. Streams
// handed to the engines must outlive them (declared first), since a failed
// assertion skips the stops.
struct Call {
  MemoryOutStream recording;
  Engine sender, receiver;
  int sendPort = 0, receivePort = 0;
  int sendChannel = sender.ChannelOnFreePort(&sendPort);
  int receiveChannel = receiver.ChannelOnFreePort(&receivePort);

  Call() {
    sender.UseManualClock();
    receiver.UseManualClock();
    EXPECT_GE(sendChannel, 0);
    EXPECT_GE(receiveChannel, 0);
    EXPECT_EQ(sender.base->SetSendDestination(sendChannel, receivePort, "127.0.0.1", -1, -1), 0);
  }
  // `frames` 20 ms frames of the sender, then the receiver.
  void Run(int frames) { RunFrames({&sender, &receiver}, frames); }
  void StartReceiving() {
    EXPECT_EQ(receiver.base->StartListen(receiveChannel), 0);
    EXPECT_EQ(receiver.base->StartPlayout(receiveChannel), 0);
    EXPECT_EQ(receiver.file->StartRecordingPlayout(&recording, nullptr), 0);
  }
  // Stops the recording and answers what it holds.
  std::vector<std::int16_t> StopReceiving() {
    EXPECT_EQ(receiver.file->StopRecordingPlayout(), 0);
    EXPECT_EQ(sender.base->StopSend(sendChannel), 0);
    return Samples(recording.written);
  }
  void PlayAsMicrophone(MemoryInStream* stream) {
    EXPECT_EQ(sender.file->StartPlayingFileAsMicrophone(sendChannel, stream, true, 0, 1.0f), 0);
  }
  standin::ChannelStatistics Statistics(Engine& side, int channel) {
    standin::ChannelStatistics statistics;
    EXPECT_TRUE(standin::ChannelStatisticsForTesting(side.engine, channel, &statistics));
    return statistics;
  }
};

struct CodecCase {
  const char* name;  // as the caller spells it
  int frequency;
  int payloadType;  // the number negotiated for the call
  int rate;
  double toleranceDb;
  int packetMs = 20;
};

void PrintTo(const CodecCase& row, std::ostream* out) {
  *out << row.name << " at " << row.packetMs << " ms";
}

class ToneThroughCodec : public testing::TestWithParam<CodecCase> {};

// A 1 kHz tone played as the sender's microphone arrives in the receiver's
// playout at its level and frequency, whatever the codec, its number and
// its packet time.
TEST_P(ToneThroughCodec, ArrivesAtItsLevelAndFrequency) {
  const CodecCase& row = GetParam();
  MemoryInStream tone(ToneBytes(1000, 1200, kRate, kAmplitude));
  Call call;
  EngineCodecRecord codec = Codec(row.name, row.frequency, row.rate, row.payloadType);
  codec.packetSize = row.frequency / 1000 * row.packetMs;
  ASSERT_EQ(call.receiver.codec->SetRecPayloadType(call.receiveChannel, codec), 0);
  ASSERT_EQ(call.sender.codec->SetSendCodec(call.sendChannel, codec), 0)
      << call.sender.base->LastError();
  call.StartReceiving();
  call.PlayAsMicrophone(&tone);
  ASSERT_EQ(call.sender.base->StartSend(call.sendChannel), 0);
  call.Run(45);
  int speakerLevel = -1;
  EXPECT_EQ(call.receiver.volume->GetSpeakerLevel(-1, speakerLevel), 0);
  call.Run(30);
  const std::vector<std::int16_t> pcm = call.StopReceiving();

  ExpectArrivedTone(pcm, kRate, kAmplitude, row.toleranceDb);
  EXPECT_GE(speakerLevel, 7);  // -12 dBFS peaks
  const standin::ChannelStatistics received = call.Statistics(call.receiver, call.receiveChannel);
  EXPECT_GT(received.packetsReceived, static_cast<std::uint64_t>(800 / row.packetMs));
  EXPECT_EQ(received.packetsLost, 0u);
  EXPECT_EQ(received.packetsIgnored, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryVoiceCodec, ToneThroughCodec,
    testing::Values(CodecCase{"PCMU", 8000, 0, 64000, 1.5}, CodecCase{"pcma", 8000, 8, 64000, 1.5},
                    CodecCase{"G722", 8000, 9, 64000, 2.0}, CodecCase{"g729", 8000, 18, 8000, 6.0},
                    CodecCase{"GSM", 8000, 3, 13200, 6.0}, CodecCase{"AMR", 8000, 114, 12200, 6.0},
                    CodecCase{"amrwb", 16000, 115, 23850, 6.0},
                    CodecCase{"IPCMWB", 16000, 116, 256000, 1.0}),
    [](const testing::TestParamInfo<CodecCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(PacketTimes, ToneThroughCodec,
                         testing::Values(CodecCase{"PCMU", 8000, 0, 64000, 1.5, 10},
                                         CodecCase{"G722", 8000, 9, 64000, 2.0, 30},
                                         CodecCase{"G729", 8000, 18, 8000, 6.0, 30},
                                         CodecCase{"AMRWB", 16000, 97, 23850, 6.0, 60},
                                         CodecCase{"PCMA", 8000, 8, 64000, 1.5, 60}),
                         [](const testing::TestParamInfo<CodecCase>& info) {
                           return std::string(info.param.name) + "_" +
                                  std::to_string(info.param.packetMs) + "ms";
                         });

struct EventCase {
  const char* what;
  int senderPayloadType;     // SetDTMFPayloadType on the sender, -1 for none
  int announcedPayloadType;  // SetRecPayloadType on the receiver, -1 for none
  std::vector<int> events;
};

void PrintTo(const EventCase& row, std::ostream* out) { *out << row.what; }

class TelephoneEvents : public testing::TestWithParam<EventCase> {};

// Digits sent out of band are received as RFC 4733 events, each once, with
// the length and attenuation the adapter asks for.
TEST_P(TelephoneEvents, SentDigitsAreReceivedOnce) {
  const EventCase& row = GetParam();
  Call call;
  if (row.announcedPayloadType >= 0) {
    ASSERT_EQ(call.receiver.codec->SetRecPayloadType(
                  call.receiveChannel, Codec("telephone-event", 8000, 0, row.announcedPayloadType)),
              0);
  }
  if (row.senderPayloadType >= 0) {
    ASSERT_EQ(call.sender.dtmf->SetDTMFPayloadType(call.sendChannel, row.senderPayloadType), 0);
  }
  call.StartReceiving();
  ASSERT_EQ(call.sender.base->StartSend(call.sendChannel), 0);
  for (int event : row.events) {
    ASSERT_EQ(call.sender.dtmf->SendTelephoneEvent(call.sendChannel, event, true, 160, 10), 0);
    call.Run(10);
  }
  call.Run(13);
  call.StopReceiving();

  const auto received =
      standin::ReceivedTelephoneEventsForTesting(call.receiver.engine, call.receiveChannel);
  ASSERT_EQ(received.size(), row.events.size());
  for (std::size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i].event, row.events[i]);
    EXPECT_EQ(received[i].volume, 10);
    EXPECT_EQ(received[i].durationMs, 160);
    EXPECT_TRUE(received[i].ended);
  }
  EXPECT_EQ(call.Statistics(call.sender, call.sendChannel).eventsSent, row.events.size());
}

INSTANTIATE_TEST_SUITE_P(PayloadTypes, TelephoneEvents,
                         testing::Values(EventCase{"DefaultNumber", -1, -1, {5}},
                                         EventCase{"NegotiatedNumber", 100, 100, {1, 11, 0}},
                                         EventCase{"RenumberedOverAnotherCodec", 96, 96, {15, 10}}),
                         [](const testing::TestParamInfo<EventCase>& info) {
                           return std::string(info.param.what);
                         });

// The telephone-event clock comes from the telephone-event payload type
// announced to the channel, not from the send codec: a 160 ms digit beside
// AMR-WB lasts 1280 ticks on the wire at telephone-event/8000.
TEST(TelephoneEventClock, FollowsTheAnnouncedEventPayload) {
  const struct {
    int announcedRate;  // 0: nothing announced
    int finalDuration;
  } rows[] = {{0, 1280}, {8000, 1280}, {16000, 2560}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.announcedRate);
    Engine side;
    side.UseManualClock();
    int port = 0;
    const int channel = side.ChannelOnFreePort(&port);
    ASSERT_GE(channel, 0);
    if (row.announcedRate > 0) {
      ASSERT_EQ(side.codec->SetRecPayloadType(channel,
                                              Codec("telephone-event", row.announcedRate, 0, 101)),
                0);
    }
    ASSERT_EQ(side.codec->SetSendCodec(channel, Codec("AMRWB", 16000, 23850, 97)), 0);
    ASSERT_EQ(side.dtmf->SetDTMFPayloadType(channel, 101), 0);
    TestSocket listener;
    ASSERT_EQ(side.base->SetSendDestination(channel, listener.Port(), "127.0.0.1", -1, -1), 0);
    ASSERT_EQ(side.base->StartSend(channel), 0);
    ASSERT_EQ(side.dtmf->SendTelephoneEvent(channel, 7, true, 160, 10), 0);
    int lastDuration = -1;
    bool ended = false;
    // What a frame sends on loopback is queued by the time it returns.
    for (int frame = 0; frame < 50 && !ended; ++frame) {
      RunFrames({&side}, 1);
      std::uint8_t datagram[2048];
      ssize_t size = 0;
      while (!ended &&
             (size = recv(listener.Descriptor(), datagram, sizeof datagram, MSG_DONTWAIT)) >= 0) {
        if (size == 16 && (datagram[1] & 0x7F) == 101) {
          lastDuration = datagram[14] << 8 | datagram[15];
          ended = (datagram[13] & 0x80) != 0;
        }
      }
    }
    side.base->StopSend(channel);
    EXPECT_TRUE(ended);
    EXPECT_EQ(lastDuration, row.finalDuration);
  }
  Engine side;
  int port = 0;
  const int channel = side.ChannelOnFreePort(&port);
  for (int rate : {0, -8000, 999, 192001}) {
    EXPECT_EQ(side.codec->SetRecPayloadType(channel, Codec("telephone-event", rate, 0, 101)), -1)
        << rate;
    EXPECT_EQ(side.base->LastError(), 8003);
  }
}

// The RTP timestamp and marker of the next datagram on `socket`; false when
// none comes within `timeoutMs`.
bool NextRtp(const TestSocket& socket, int timeoutMs, std::uint32_t* timestamp, bool* marker) {
  pollfd waiting{socket.Descriptor(), POLLIN, 0};
  std::uint8_t datagram[2048];
  if (poll(&waiting, 1, timeoutMs) != 1 ||
      recv(socket.Descriptor(), datagram, sizeof datagram, 0) < 12)
    return false;
  *timestamp = static_cast<std::uint32_t>(datagram[4] << 24 | datagram[5] << 16 | datagram[6] << 8 |
                                          datagram[7]);
  *marker = (datagram[1] & 0x80) != 0;
  return true;
}

// A channel with nothing else to do lets the media thread park while its
// sending is stopped; the RTP clock runs on all the same, and the audio
// after the pause is marked. Real time: the parked thread's clock is the
// point.
TEST(SendClock, RunsOnWhileSendingIsStopped) {
  Engine side;
  int port = 0;
  const int channel = side.ChannelOnFreePort(&port);
  ASSERT_GE(channel, 0);
  ASSERT_EQ(side.codec->SetSendCodec(channel, Codec("PCMU", 8000, 0, 0)), 0);
  TestSocket listener;
  ASSERT_EQ(side.base->SetSendDestination(channel, listener.Port(), "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(side.base->StartSend(channel), 0);
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(side.base->StopSend(channel), 0);
  const auto stopped = std::chrono::steady_clock::now();
  std::uint32_t before = 0, after = 0;
  bool marker = false;
  int packets = 0;
  while (NextRtp(listener, 200, &before, &marker)) ++packets;
  ASSERT_GT(packets, 3);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(side.base->StartSend(channel), 0);
  const auto resumed = std::chrono::steady_clock::now();
  ASSERT_TRUE(NextRtp(listener, 2000, &after, &marker));
  side.base->StopSend(channel);
  const double paused = std::chrono::duration<double>(resumed - stopped).count();
  EXPECT_NEAR((after - before) / 8000.0, paused + 0.04, 0.06);
  EXPECT_TRUE(marker);
}

// In band, a digit is its two tones in the receiver's playout.
TEST(InBandDtmf, ArrivesAsTheKeysTwoTones) {
  Call call;
  call.StartReceiving();
  ASSERT_EQ(call.sender.base->StartSend(call.sendChannel), 0);
  call.Run(5);
  ASSERT_EQ(call.sender.dtmf->SendTelephoneEvent(call.sendChannel, 5, false, 160, 10), 0);
  call.Run(20);
  const std::vector<std::int16_t> pcm = call.StopReceiving();
  const std::size_t onset = FirstLoud(pcm, kRate, 500);
  ASSERT_LT(onset, pcm.size());
  const std::size_t begin = onset + kRate / 50, count = kRate / 10;
  // Key 5 is 770 Hz and 1336 Hz; 697 Hz and 1209 Hz belong to other keys.
  const Pcm digit = Window(pcm, begin, count);
  const double low = TonePower(digit, 770, kRate), high = TonePower(digit, 1336, kRate);
  EXPECT_GT(low, 20 * TonePower(digit, 697, kRate));
  EXPECT_GT(high, 20 * TonePower(digit, 1209, kRate));
  EXPECT_NEAR(10 * std::log10(low / high), 0.0, 3.0);
  EXPECT_EQ(call.Statistics(call.sender, call.sendChannel).eventsSent, 0u);
}

// The type-of-service byte of our packets, read back on a socket that asks
// the system for it.
TEST(TypeOfService, MarksThePacketsSent) {
  const struct {
    int tos;
    int dscp;
  } rows[] = {{184, 46}, {0, 0}, {40, 10}};
  for (const auto& row : rows) {
    Engine side;
    side.UseManualClock();
    int port = 0;
    const int channel = side.ChannelOnFreePort(&port);
    ASSERT_GE(channel, 0);
    TestSocket listener;
    int on = 1;
    ASSERT_EQ(setsockopt(listener.Descriptor(), IPPROTO_IP, IP_RECVTOS, &on, sizeof on), 0);
    ASSERT_EQ(side.network->SetSendTOS(channel, row.tos, 0), 0);
    ASSERT_EQ(side.base->SetSendDestination(channel, listener.Port(), "127.0.0.1", -1, -1), 0);
    ASSERT_EQ(side.base->StartSend(channel), 0);
    ASSERT_TRUE(RunFramesUntilReadable(side, listener, 5));
    char payload[2048], control[256];
    iovec vector{payload, sizeof payload};
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ASSERT_GT(recvmsg(listener.Descriptor(), &message, 0), 12);
    int received = -1;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
      if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_TOS)
        received = *reinterpret_cast<unsigned char*>(CMSG_DATA(header));
    EXPECT_EQ(received >> 2, row.dscp) << "TOS " << row.tos;
    EXPECT_EQ(static_cast<unsigned char>(payload[0]) >> 6, 2) << "RTP version";
    side.base->StopSend(channel);
  }
}

// Silence suppression sends a comfort noise update now and then instead of
// a packet every 20 ms; mute silences what is sent.
TEST(SendingControls, SilenceSuppressionAndMute) {
  const struct {
    const char* what;
    bool vad, mute;
    double maxPacketsPerSecond;
    bool toneHeard;
  } rows[] = {{"plain", false, false, 55, true},
              {"silence suppressed", true, false, 12, true},
              {"muted", false, true, 55, false}};
  for (const auto& row : rows) {
    // Silence, then a tone: only unmuted audio with a voice goes out.
    std::string signal(kRate * 2 * 6 / 10, '\0');
    signal += ToneBytes(1000, 300, kRate, kAmplitude);
    MemoryInStream stream(signal);
    Call call;
    ASSERT_EQ(call.sender.codec->SetVADStatus(call.sendChannel, row.vad ? 1 : 0, 0, 0), 0);
    ASSERT_EQ(call.sender.volume->SetInputMute(call.sendChannel, row.mute), 0);
    call.StartReceiving();
    call.PlayAsMicrophone(&stream);
    ASSERT_EQ(call.sender.base->StartSend(call.sendChannel), 0);
    call.Run(25);
    const auto quiet = call.Statistics(call.sender, call.sendChannel).packetsSent;
    call.Run(30);
    const std::vector<std::int16_t> pcm = call.StopReceiving();
    EXPECT_LE(quiet, row.maxPacketsPerSecond / 2) << row.what;
    EXPECT_EQ(FirstLoud(pcm, kRate, kAmplitude / 8) < pcm.size(), row.toneHeard) << row.what;
  }
}

// A two-way call: the receiver also plays a stream locally at half volume,
// talks back, and hears a second call on another channel. Its playout holds
// both far sides and the local stream; its call recording holds both
// directions.
TEST(Mixing, PlayoutMixesChannelsAndLocalStreamsAndTheCallRecordingHasBothSides) {
  MemoryInStream far(ToneBytes(1000, 1000, kRate, kAmplitude));
  MemoryInStream near(ToneBytes(2000, 1000, kRate, kAmplitude));
  MemoryInStream local(ToneBytes(500, 1000, kRate, kAmplitude));
  MemoryInStream second(ToneBytes(3000, 1000, kRate, kAmplitude));
  Call call;
  int secondPort = 0, secondSenderPort = 0;
  const int secondChannel = call.receiver.ChannelOnFreePort(&secondPort);
  const int secondSender = call.sender.ChannelOnFreePort(&secondSenderPort);
  ASSERT_GE(secondChannel, 0);
  ASSERT_GE(secondSender, 0);
  ASSERT_EQ(call.sender.base->SetSendDestination(secondSender, secondPort, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(call.sender.file->StartPlayingFileAsMicrophone(secondSender, &second, true, 0, 1.0f),
            0);
  ASSERT_EQ(call.receiver.base->StartListen(secondChannel), 0);
  ASSERT_EQ(call.receiver.base->StartPlayout(secondChannel), 0);
  ASSERT_EQ(call.sender.base->StartSend(secondSender), 0);
  const test_support::TempFolder folder("standin_mixing_call");
  ASSERT_FALSE(folder.Path().empty());
  const std::string file = folder.File("call.wav");
  ASSERT_EQ(call.receiver.base->SetSendDestination(call.receiveChannel, call.sendPort, "127.0.0.1",
                                                   -1, -1),
            0);
  ASSERT_EQ(call.sender.base->StartListen(call.sendChannel), 0);
  ASSERT_EQ(call.sender.base->StartPlayout(call.sendChannel), 0);
  call.StartReceiving();
  const EngineCodecRecord wav{};  // no name: the engine's own WAV recording
  ASSERT_EQ(call.receiver.file->StartRecordingCall(file.c_str(), &wav, -1), 0);
  call.PlayAsMicrophone(&far);
  ASSERT_EQ(
      call.receiver.file->StartPlayingFileAsMicrophone(call.receiveChannel, &near, true, 0, 1.0f),
      0);
  ASSERT_EQ(call.receiver.file->StartPlayingFileLocally(call.receiveChannel, &local, 0, 0.5f, 0, 0),
            0);
  ASSERT_EQ(call.sender.base->StartSend(call.sendChannel), 0);
  ASSERT_EQ(call.receiver.base->StartSend(call.receiveChannel), 0);
  call.Run(40);
  ASSERT_EQ(call.receiver.file->StopRecordingCall(), 0);
  const std::vector<std::int16_t> playout = call.StopReceiving();
  ASSERT_EQ(call.receiver.base->StopSend(call.receiveChannel), 0);
  ASSERT_EQ(call.sender.base->StopSend(secondSender), 0);

  // From 100 ms after the far side is heard: the median of seven 40 ms
  // windows.
  const double full = kAmplitude * kAmplitude / 2;
  const std::size_t window = kRate / 25;
  auto steady = [&](const std::vector<std::int16_t>& pcm, std::size_t begin, double frequency) {
    return SteadyTonePower(pcm, begin, 7, window, frequency, kRate);
  };
  const std::size_t begin = FirstTone(playout, kRate, 1000, full / 4) + kRate / 10;
  ASSERT_LE(begin + 7 * window, playout.size()) << "the far side was not heard";
  const double farTone = steady(playout, begin, 1000);
  EXPECT_NEAR(10 * std::log10(farTone / steady(playout, begin, 500)), 6.0, 1.5)
      << "the local stream plays at half volume";
  EXPECT_NEAR(10 * std::log10(farTone / steady(playout, begin, 3000)), 0.0, 1.5)
      << "the second call plays beside the first";
  EXPECT_LT(steady(playout, begin, 2000), farTone / 1000) << "what we say is not played back to us";

  const std::string bytes = FileBytes(file);
  const std::size_t data = bytes.find("data");
  ASSERT_NE(data, std::string::npos);
  const std::vector<std::int16_t> recorded = Samples(bytes.substr(data + 8));
  const std::size_t heard = FirstTone(recorded, kRate, 1000, full / 4) + kRate / 10;
  ASSERT_LE(heard + 7 * window, recorded.size()) << "the far side is not in the recording";
  for (const auto& [frequency, power] : {std::pair{1000.0, full}, std::pair{2000.0, full},
                                         std::pair{3000.0, full}, std::pair{500.0, full / 4}})
    EXPECT_NEAR(10 * std::log10(steady(recorded, heard, frequency) / power), 0.0, 1.5)
        << frequency << " Hz in the call recording";
}

}  // namespace
