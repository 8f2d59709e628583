// The media core's pieces on their own: RTP and telephone-event payloads,
// rate conversion, meters, sockets, sound devices, and a
// channel's sender and receiver talking without a network.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/gipsve_file.h"
#include "engine/standin/alsa_sound_device.h"
#include "engine/standin/channel_receiver.h"
#include "engine/standin/channel_sender.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/file_player.h"
#include "engine/standin/level_meter.h"
#include "engine/standin/rate_converter.h"
#include "engine/standin/rtp_packet.h"
#include "engine/standin/sound_device.h"
#include "engine/standin/telephone_event.h"
#include "engine/standin/udp_socket.h"
#include "engine/standin/voice_activity.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"

namespace {

using namespace standin;
using namespace engine_test;

// A start position far into a file is reached a bounded stretch per frame,
// and a stopped player reads its stream no more.
TEST(FilePlayer, SkipsToItsStartABoundedStretchPerFrame) {
  EndlessInStream stream("", std::string("\x10\x20"));
  int error = kNoError;
  std::shared_ptr<FilePlayer> player =
      FilePlayer::Open(&stream, kGIPSVEFilePcm, 1.0f, 1000000000, 0, &error);
  ASSERT_NE(player, nullptr);
  std::int16_t frame[kEngineFrame];
  constexpr std::uint64_t kFrameBytes = kEngineFrame * 2;
  constexpr std::uint64_t kSlack = 8192;
  const std::uint64_t atOpen = stream.delivered;
  for (int i = 1; i <= 3; ++i) {
    player->Prefetch();
    player->ReadFrame(frame);
    EXPECT_EQ(*std::max_element(frame, frame + kEngineFrame), 0);  // still skipping: silence
    EXPECT_LE(stream.delivered - atOpen,
              i * FilePlayer::kMaxSkipFramesPerFrame * kFrameBytes + kSlack);
    EXPECT_FALSE(player->Ended());
  }
  player->Stop(std::chrono::milliseconds(0));
  const std::uint64_t atStop = stream.delivered;
  player->Prefetch();
  EXPECT_EQ(stream.delivered, atStop);
  EXPECT_TRUE(player->Ended());
}

TEST(RtpPacket, ParsesWhatIsRtpAndRefusesTheRest) {
  // The first two bytes vary; sequence 0x1234, timestamp 0x140 and SSRC
  // 0xDEADBEEF follow, then `tail`, less the last `cut` bytes.
  const struct {
    const char* what;
    std::uint8_t first, second;
    Bytes tail;
    std::size_t cut;
    bool ok;
    std::size_t payloadOffset, payloadSize;
  } rows[] = {
      {"header only", 0x80, 0, {}, 0, true, 12, 0},
      {"payload", 0x80, 0, {1, 2, 3}, 0, true, 12, 3},
      {"two CSRCs", 0x82, 0, Bytes(13, 0), 0, true, 20, 5},
      {"extension of one word", 0x90, 0, {0xBE, 0xDE, 0, 1, 9, 9, 9, 9, 7}, 0, true, 20, 1},
      {"padding of 3", 0xA0, 0, {5, 6, 0, 0, 3}, 0, true, 12, 2},
      {"eleven bytes", 0x80, 0, {}, 1, false, 0, 0},
      {"version 1", 0x40, 0, {}, 0, false, 0, 0},
      {"CSRCs beyond the end", 0x83, 0, Bytes(8, 0), 0, false, 0, 0},
      {"extension beyond the end", 0x90, 0, {0xBE, 0xDE, 0, 2, 1, 1, 1, 1}, 0, false, 0, 0},
      {"padding of 0", 0xA0, 0, {0}, 0, false, 0, 0},
      {"padding beyond the payload", 0xA0, 0, {2}, 0, false, 0, 0},
      {"RTCP sender report", 0x80, 200, {}, 0, false, 0, 0},
      {"RTCP bye", 0x80, 203, {}, 0, false, 0, 0},
  };
  for (const auto& row : rows) {
    Bytes bytes = {row.first, row.second, 0x12, 0x34, 0, 0, 0x01, 0x40, 0xDE, 0xAD, 0xBE, 0xEF};
    bytes.insert(bytes.end(), row.tail.begin(), row.tail.end());
    bytes.resize(bytes.size() - row.cut);
    RtpView packet;
    ASSERT_EQ(ParseRtp(bytes.data(), bytes.size(), &packet), row.ok) << row.what;
    if (!row.ok) continue;
    EXPECT_EQ(packet.header.sequence, 0x1234) << row.what;
    EXPECT_EQ(packet.header.timestamp, 0x140u) << row.what;
    EXPECT_EQ(packet.header.ssrc, 0xDEADBEEFu) << row.what;
    EXPECT_EQ(packet.payload - bytes.data(), static_cast<std::ptrdiff_t>(row.payloadOffset))
        << row.what;
    EXPECT_EQ(packet.payloadSize, row.payloadSize) << row.what;
  }
}

TEST(RtpPacket, WritesWhatItReads) {
  const Bytes payload = {9, 8, 7};
  for (const RtpHeader& header :
       {RtpHeader{true, 101, 65535, 0xFFFFFFFF, 1}, RtpHeader{false, 0, 0, 0, 0},
        RtpHeader{false, 127, 42, 160, 0x12345678}}) {
    Bytes packet;
    WriteRtp(header, payload.data(), payload.size(), packet);
    RtpView read;
    ASSERT_TRUE(ParseRtp(packet.data(), packet.size(), &read));
    EXPECT_EQ(read.header.marker, header.marker);
    EXPECT_EQ(read.header.payloadType, header.payloadType);
    EXPECT_EQ(read.header.sequence, header.sequence);
    EXPECT_EQ(read.header.timestamp, header.timestamp);
    EXPECT_EQ(read.header.ssrc, header.ssrc);
    EXPECT_EQ(Bytes(read.payload, read.payload + read.payloadSize), payload);
  }
}

TEST(TelephoneEvent, OneEventIsPacketsOfGrowingDurationEndedThreeTimes) {
  TelephoneEventSender sender;
  sender.Start(11, 10, 1280, 160);  // 160 ms at 8 kHz, 20 ms packets
  TelephoneEventReceiver receiver;
  std::vector<int> durations;
  int ends = 0, firsts = 0;
  TelephoneEventSender::Packet packet;
  while (sender.Next(&packet)) {
    Bytes payload;
    WriteTelephoneEvent(packet.block, payload);
    TelephoneEventBlock read;
    ASSERT_TRUE(ParseTelephoneEvent(payload.data(), payload.size(), &read));
    EXPECT_EQ(read.event, 11);
    EXPECT_EQ(read.volume, 10);
    durations.push_back(read.duration);
    ends += read.end;
    firsts += packet.first;
    receiver.OnPacket(4000, read, 8000);
  }
  EXPECT_EQ(durations, (std::vector<int>{160, 320, 480, 640, 800, 960, 1120, 1280, 1280, 1280}));
  EXPECT_EQ(ends, 3);
  EXPECT_EQ(firsts, 1);
  ASSERT_EQ(receiver.Events().size(), 1u);
  EXPECT_EQ(receiver.Events()[0].durationMs, 160);
  EXPECT_TRUE(receiver.Events()[0].ended);

  TelephoneEventBlock unused;
  EXPECT_FALSE(ParseTelephoneEvent(Bytes{1, 2, 3}.data(), 3, &unused));
  for (std::uint32_t timestamp = 0; timestamp < 100; ++timestamp)
    receiver.OnPacket(timestamp * 800, TelephoneEventBlock{1, false, 0, 160}, 8000);
  EXPECT_EQ(receiver.Events().size(), TelephoneEventReceiver::kKept) << "the oldest are dropped";
}

TEST(TelephoneEvent, InBandToneOfEveryKeyIsItsTwoFrequencies) {
  for (int key = 0; key < 16; ++key) {
    int low = 0, high = 0;
    ASSERT_TRUE(DtmfFrequencies(key, &low, &high));
    DtmfToneGenerator generator;
    ASSERT_TRUE(generator.Start(key, 10, 100));
    std::vector<std::int16_t> pcm(800);
    for (int frame = 0; frame < 5; ++frame)
      ASSERT_TRUE(generator.Generate(pcm.data() + 160 * frame, 160, 8000));
    EXPECT_FALSE(generator.Active()) << "100 ms are over";
    const double expected = std::pow(16383.0 * std::pow(10.0, -0.5), 2) / 2;  // -10 dB each
    for (int frequency : {low, high})
      EXPECT_NEAR(TonePower(pcm, frequency, 8000) / expected, 1.0, 0.1)
          << "key " << key << " at " << frequency;
  }
  DtmfToneGenerator generator;
  EXPECT_FALSE(generator.Start(16, 10, 100)) << "events past D have no tone";
  std::int16_t untouched[160] = {7};
  EXPECT_FALSE(generator.Generate(untouched, 160, 8000));
  EXPECT_EQ(untouched[0], 7);
}

// Gain of a converter for a tone, in dB, measured after the filter settled.
template <class Converter>
double GainDb(double frequency, int inRate, double outFrequency) {
  Converter converter;
  const int frame = inRate / 50;
  const int outRate = inRate == 16000 ? 8000 : 16000;
  const std::vector<std::int16_t> in = Tone(inRate, frequency, 10000, frame * 10);
  std::vector<std::int16_t> out(static_cast<std::size_t>(outRate / 50 * 10));
  for (int i = 0; i < 10; ++i)  // 20 ms at a time, as the engine does
    converter.Process(in.data() + i * frame, frame, out.data() + i * (outRate / 50));
  const double power = TonePower(Pcm(out).subspan(out.size() / 2), outFrequency, outRate);
  return 10 * std::log10(power / (10000.0 * 10000.0 / 2) + 1e-12);
}

TEST(RateConverter, PassesTheVoiceBandAndRejectsAliases) {
  const struct {
    const char* what;
    double gainDb;
    double toleranceDb;
  } rows[] = {
      {"16 to 8 kHz, 1 kHz", GainDb<Downsampler2>(1000, 16000, 1000), 0.2},
      {"16 to 8 kHz, 3 kHz", GainDb<Downsampler2>(3000, 16000, 3000), 0.2},
      {"16 to 8 kHz, 3.8 kHz", GainDb<Downsampler2>(3800, 16000, 3800), 0.05},
      {"16 to 8 kHz, 4.25 kHz folding to 3.75 kHz", GainDb<Downsampler2>(4250, 16000, 3750), -75},
      {"16 to 8 kHz, 6 kHz folding to 2 kHz", GainDb<Downsampler2>(6000, 16000, 2000), -75},
      {"8 to 16 kHz, 1 kHz", GainDb<Upsampler2>(1000, 8000, 1000), 0.2},
      {"8 to 16 kHz, 3 kHz", GainDb<Upsampler2>(3000, 8000, 3000), 0.2},
      {"8 to 16 kHz, 3.8 kHz", GainDb<Upsampler2>(3800, 8000, 3800), 0.05},
      {"8 to 16 kHz, image of 3.75 kHz at 4.25 kHz", GainDb<Upsampler2>(3750, 8000, 4250), -75},
      {"8 to 16 kHz, image of 1 kHz at 7 kHz", GainDb<Upsampler2>(1000, 8000, 7000), -75},
  };
  for (const auto& row : rows) {
    if (row.toleranceDb > 0) {
      EXPECT_NEAR(row.gainDb, 0.0, row.toleranceDb) << row.what;
    } else {
      EXPECT_LT(row.gainDb, row.toleranceDb) << row.what;
    }
  }
}

TEST(LevelMeter, SixDecibelStepsHeldFor100Milliseconds) {
  const struct {
    int peak, level;
  } rows[] = {{0, 0},    {64, 0},    {65, 1},    {129, 1},   {130, 2},  {8230, 7},
              {8231, 8}, {16422, 8}, {16423, 9}, {32767, 9}, {32768, 9}};
  for (const auto& row : rows) EXPECT_EQ(LevelOfPeak(row.peak), row.level) << row.peak;

  LevelMeter meter;
  const std::vector<std::int16_t> loud = Tone(16000, 1000, 20000, 320), quiet(320, 0);
  meter.Add(loud.data(), 320);
  meter.Commit();
  EXPECT_EQ(meter.Level(), 9);
  for (int frame = 1; frame < LevelMeter::kFrames; ++frame) {
    meter.Add(quiet.data(), 320);
    meter.Commit();
  }
  EXPECT_EQ(meter.Level(), 9) << "still within 100 ms";
  meter.Add(quiet.data(), 320);
  meter.Commit();
  EXPECT_EQ(meter.Level(), 0);
}

TEST(VoiceActivity, ThresholdFollowsTheModeAndSpeechHangsOver) {
  const struct {
    double levelDbov;
    int mode;
    bool speech;
  } rows[] = {{-20, 3, true}, {-48, 0, true}, {-48, 3, false}, {-60, 0, false}, {-200, 0, false}};
  for (const auto& row : rows) {
    VoiceActivityDetector detector;
    detector.SetMode(row.mode);
    // A sine's RMS is its amplitude over the square root of 2.
    const double amplitude = 32767 * std::sqrt(2.0) * std::pow(10.0, row.levelDbov / 20);
    const std::vector<std::int16_t> frame = Tone(8000, 500, amplitude, 160);
    EXPECT_EQ(detector.IsSpeech(frame.data(), 160), row.speech)
        << row.levelDbov << " dBov, mode " << row.mode;
  }
  VoiceActivityDetector detector;
  const std::vector<std::int16_t> speech = Tone(8000, 500, 10000, 160), silence(160, 0);
  ASSERT_TRUE(detector.IsSpeech(speech.data(), 160));
  for (int frame = 0; frame < VoiceActivityDetector::kHangoverFrames; ++frame)
    EXPECT_TRUE(detector.IsSpeech(silence.data(), 160)) << "hangover frame " << frame;
  EXPECT_FALSE(detector.IsSpeech(silence.data(), 160));
}

// Binding, sending and receiving are exercised by the loopback calls and
// the port refusals of the engine tests.
TEST(UdpSocket, ParsesOnlyDottedIpv4) {
  const struct {
    const char* text;
    bool ok;
    std::uint32_t address;
  } addresses[] = {{"127.0.0.1", true, 0x7F000001},
                   {"0.0.0.0", true, 0},
                   {"255.255.255.255", true, 0xFFFFFFFF},
                   {"localhost", false, 0},
                   {"1.2.3", false, 0},
                   {"", false, 0},
                   {nullptr, false, 0}};
  for (const auto& row : addresses) {
    std::uint32_t address = 1;
    EXPECT_EQ(ParseIpv4(row.text, &address), row.ok) << (row.text ? row.text : "null");
    if (row.ok) {
      EXPECT_EQ(address, row.address) << row.text;
    }
  }
}

TEST(SoundDevice, NullAndAlsaDevicesMoveFramesWithoutBlocking) {
  std::unique_ptr<SoundDevice> null = OpenSoundDevice(SoundDirection::kCapture, kNullDevice, 16000);
  ASSERT_TRUE(null && null->IsNull());
  std::int16_t frame[320];
  std::fill(frame, frame + 320, 5);
  null->Read(frame, 320);
  EXPECT_EQ(frame[0], 0);
  EXPECT_EQ(frame[319], 0);
  // ALSA's own null PCM exists wherever ALSA does.
  for (SoundDirection direction : {SoundDirection::kCapture, SoundDirection::kPlayback}) {
    std::unique_ptr<SoundDevice> alsa = OpenAlsaDevice("null", direction, 16000);
    ASSERT_TRUE(alsa);
    EXPECT_FALSE(alsa->IsNull());
    for (int i = 0; i < 20; ++i) {
      alsa->Write(frame, 320);
      alsa->Read(frame, 320);
    }
  }
  EXPECT_EQ(OpenAlsaDevice("no such device", SoundDirection::kPlayback, 16000), nullptr);
  // Without a sound card every device number is the null device.
  int card = -1;
  if (snd_card_next(&card) == 0 && card < 0) {
    for (int id : {-1, 0, 3}) {
      std::unique_ptr<SoundDevice> device = OpenSoundDevice(SoundDirection::kPlayback, id, 16000);
      EXPECT_TRUE(device && device->IsNull()) << "device " << id;
    }
  }
}

// Frames of `pcm` from a sender to a receiver, as the media thread moves
// them; `deliver` sees each packet sent and decides whether it arrives.
// Answers the playout.
std::vector<std::int16_t> Pump(ChannelSender& sender, ChannelReceiver& receiver, int frames,
                               const std::vector<std::int16_t>& pcm,
                               const std::function<bool(int, const Bytes&)>& deliver) {
  std::vector<std::int16_t> played;
  Bytes datagram;
  for (int frame = 0; frame < frames; ++frame) {
    std::vector<std::int16_t> copy = pcm;
    if (sender.NextPacket(static_cast<std::uint64_t>(frame), copy.data(), datagram) &&
        deliver(frame, datagram))
      receiver.OnDatagram(datagram.data(), datagram.size(), true);
    std::int16_t out[320];
    const int rate = receiver.PlayoutFrame(out);
    played.insert(played.end(), out, out + rate / 50);
    receiver.EndFrame();
  }
  return played;
}

// A channel's sender feeding its receiver directly, frame by frame.
class SenderToReceiver : public testing::Test {
 protected:
  ChannelStatistics Statistics() const {
    ChannelStatistics statistics;
    receiver.AddStatistics(&statistics);
    return statistics;
  }

  const std::vector<std::int16_t> tone = Tone(8000, 1000, 8000, 160);
  std::mt19937 random{3};
  ChannelSender sender{random};
  ChannelReceiver receiver;
};

TEST_F(SenderToReceiver, PayloadTypesDecideWhatIsPlayed) {
  const EngineCodecRecord* pcma = CodecCatalogue::Find("PCMA", 8000);
  const struct {
    const char* what;
    int sendAs;       // the payload type the sender uses for PCMA
    int announcedAs;  // -1: nothing announced
    bool heard;
  } rows[] = {
      {"catalogue number", 8, -1, true},
      {"announced number", 120, 120, true},
      {"unknown number", 121, -1, false},
      {"catalogue number after renumbering", 8, 122, false},
  };
  for (const auto& row : rows) {
    std::mt19937 seeded{5};
    ChannelSender pcmaSender{seeded};
    ChannelReceiver pcmaReceiver;
    ASSERT_TRUE(pcmaSender.SetCodec(Codec("pcma", 8000, 0, row.sendAs)));
    if (row.announcedAs >= 0) pcmaReceiver.AnnouncePayloadType(row.announcedAs, pcma);
    int sent = 0;
    const std::vector<std::int16_t> played =
        Pump(pcmaSender, pcmaReceiver, 20, tone, [&](int, const Bytes&) { return ++sent; });
    EXPECT_EQ(sent, 20) << row.what;
    EXPECT_EQ(Rms(Window(played, played.size() / 2, 800)) > 4000, row.heard) << row.what;
  }
}

TEST_F(SenderToReceiver, CountsLossAndKeepsToTheFirstSource) {
  ASSERT_TRUE(sender.SetCodec(Codec("PCMU", 8000)));
  Pump(sender, receiver, 50, tone, [](int frame, const Bytes&) { return frame % 10 != 5; });
  ChannelStatistics statistics = Statistics();
  EXPECT_EQ(statistics.packetsReceived, 45u);
  EXPECT_EQ(statistics.packetsLost, 5u);
  EXPECT_EQ(statistics.framesConcealed, 5u);

  // A second source is ignored while the first still sends...
  std::mt19937 other{99};
  ChannelSender intruder{other};
  ASSERT_TRUE(intruder.SetCodec(Codec("PCMU", 8000)));
  Bytes datagram;
  for (int frame = 0; frame < 5; ++frame) {
    std::vector<std::int16_t> copy = tone;
    ASSERT_TRUE(intruder.NextPacket(static_cast<std::uint64_t>(frame), copy.data(), datagram));
    receiver.OnDatagram(datagram.data(), datagram.size(), true);
  }
  EXPECT_EQ(Statistics().packetsIgnored, 5u);
  // ...and taken once the first was silent for a while.
  std::int16_t out[320];
  for (int frame = 0; frame < ChannelReceiver::kSourceTimeoutFrames; ++frame) {
    receiver.PlayoutFrame(out);
    receiver.EndFrame();
  }
  std::vector<std::int16_t> copy = tone;
  ASSERT_TRUE(intruder.NextPacket(5, copy.data(), datagram));
  receiver.OnDatagram(datagram.data(), datagram.size(), true);
  EXPECT_EQ(Statistics().packetsReceived, 46u);
}

TEST_F(SenderToReceiver, SilenceTravelsAsComfortNoise) {
  ASSERT_TRUE(sender.SetCodec(Codec("PCMU", 8000)));
  sender.SetVad(true, 0);
  // Quiet noise at about -60 dBov: below the detector, above digital silence.
  std::vector<std::int16_t> noise(160);
  std::mt19937 generator(11);
  for (auto& sample : noise) sample = static_cast<std::int16_t>(generator() % 81) - 40;
  int packets = 0;
  const std::vector<std::int16_t> played =
      Pump(sender, receiver, 50, noise, [&](int, const Bytes& datagram) {
        RtpView packet;
        EXPECT_TRUE(ParseRtp(datagram.data(), datagram.size(), &packet) &&
                    packet.header.payloadType == 13)
            << "CN at 8 kHz";
        return ++packets;
      });
  EXPECT_EQ(packets, 5) << "one SID every 200 ms of a second";
  const double rms = Rms(Pcm(played).subspan(played.size() / 2));
  EXPECT_GT(rms, 5.0) << "comfort noise, not digital silence";
  EXPECT_LT(rms, 100.0);
}

// What a sender puts on the wire for the media clock's frames `frames`.
std::vector<RtpView> SendAt(ChannelSender& sender, const std::vector<std::uint64_t>& frames,
                            std::vector<Bytes>& datagrams) {
  std::vector<RtpView> packets;
  for (std::uint64_t frame : frames) {
    std::vector<std::int16_t> pcm = Tone(sender.SampleRate(), 1000, 8000, 320);
    Bytes datagram;
    for (bool more = sender.NextPacket(frame, pcm.data(), datagram); more;
         more = sender.MorePackets(datagram))
      datagrams.push_back(datagram);
  }
  for (const Bytes& datagram : datagrams) {
    RtpView packet;
    EXPECT_TRUE(ParseRtp(datagram.data(), datagram.size(), &packet));
    packets.push_back(packet);
  }
  return packets;
}

std::vector<std::uint64_t> FrameRange(std::uint64_t first, std::uint64_t end) {
  std::vector<std::uint64_t> frames;
  for (std::uint64_t frame = first; frame < end; ++frame) frames.push_back(frame);
  return frames;
}

// Audio timestamps run with the media clock: a pause (frames with nothing
// sent) moves them on by its length and the audio after it is marked.
TEST(SenderClock, TimestampsJumpByThePauseAndMarkTheResumption) {
  const struct {
    const char* name;
    int frequency;
    std::uint32_t ticks;  // per 20 ms
  } rows[] = {{"PCMU", 8000, 160}, {"G722", 8000, 160}, {"AMRWB", 16000, 320}};
  const std::vector<std::uint64_t> frames = {7, 8, 9, 60, 61, 62, 200};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::mt19937 random{17};
    ChannelSender sender{random};
    ASSERT_TRUE(sender.SetCodec(Codec(row.name, row.frequency)));
    std::vector<Bytes> datagrams;
    const std::vector<RtpView> packets = SendAt(sender, frames, datagrams);
    ASSERT_EQ(packets.size(), frames.size());
    for (std::size_t i = 1; i < packets.size(); ++i) {
      EXPECT_EQ(packets[i].header.timestamp - packets[i - 1].header.timestamp,
                static_cast<std::uint32_t>(frames[i] - frames[i - 1]) * row.ticks)
          << "packet " << i;
      EXPECT_EQ(packets[i].header.marker, frames[i] - frames[i - 1] > 1) << "packet " << i;
    }
    EXPECT_TRUE(packets[0].header.marker);
  }
}

// A second of audio goes out in packets of the send codec's packet size:
// how many, their payload bytes and their timestamp and sequence steps;
// audio kept between frames goes out as a shorter packet when a pause
// ends the talkspurt.
TEST(SenderClock, PacketsFollowThePacketTime) {
  const struct {
    const char* name;
    int frequency;
    int ms;
    std::size_t bytes;  // of each payload; 0: varies (AMR)
  } rows[] = {
      {"PCMU", 8000, 10, 80}, {"PCMU", 8000, 30, 240}, {"PCMA", 8000, 60, 480},
      {"G722", 8000, 10, 80}, {"G722", 8000, 50, 400}, {"G729", 8000, 10, 10},
      {"G729", 8000, 30, 30}, {"GSM", 8000, 40, 66},   {"GSM", 8000, 60, 99},
      {"AMR", 8000, 40, 0},   {"AMRWB", 16000, 60, 0}, {"IPCMWB", 16000, 30, 960},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.name << " " << row.ms << " ms");
    const EngineCodecRecord* entry = CodecCatalogue::Find(row.name, row.frequency);
    if (!entry) continue;  // a build without this codec
    std::mt19937 random{23};
    ChannelSender sender{random};
    EngineCodecRecord codec = Codec(row.name, row.frequency, entry->rate, entry->payloadType);
    const std::uint32_t ticks = static_cast<std::uint32_t>(row.frequency / 1000 * row.ms);
    codec.packetSize = static_cast<int>(ticks);
    ASSERT_TRUE(sender.SetCodec(codec));
    const CodecDescription& description = *CodecCatalogue::Describe(entry);
    std::vector<Bytes> datagrams;
    const std::vector<RtpView> packets = SendAt(sender, FrameRange(0, 50), datagrams);
    const std::size_t perSecond = static_cast<std::size_t>(1000 / row.ms);
    ASSERT_EQ(packets.size(), perSecond);
    for (std::size_t i = 0; i < packets.size(); ++i) {
      const RtpView& packet = packets[i];
      EXPECT_EQ(description.PayloadTicks(packet.payload, packet.payloadSize),
                static_cast<int>(ticks));
      if (row.bytes > 0) {
        EXPECT_EQ(packet.payloadSize, row.bytes);
      }
      EXPECT_EQ(packet.header.marker, i == 0);
      if (i == 0) continue;
      EXPECT_EQ(packet.header.timestamp - packets[i - 1].header.timestamp, ticks);
      EXPECT_EQ(static_cast<std::uint16_t>(packet.header.sequence - packets[i - 1].header.sequence),
                1);
    }
    // The pause: the kept rest of the second first, unmarked, then the next
    // talkspurt, marked.
    std::vector<Bytes> more;
    const std::vector<RtpView> after = SendAt(sender, {60}, more);
    const int keptTicks = 1000 % row.ms * row.frequency / 1000;
    std::size_t next = 0;
    if (keptTicks > 0) {
      ASSERT_FALSE(after.empty());
      EXPECT_EQ(after[0].header.timestamp, packets[0].header.timestamp + perSecond * ticks);
      EXPECT_EQ(description.PayloadTicks(after[0].payload, after[0].payloadSize), keptTicks);
      EXPECT_FALSE(after[0].header.marker);
      next = 1;
    }
    if (next < after.size()) {
      EXPECT_TRUE(after[next].header.marker);
    }
  }
}

// Telephone events count in the clock their payload was given, whatever
// the audio's: durations on the wire, the spacing of their timestamps, and
// what a receiver on the same clock makes of them.
TEST(SenderClock, EventsCountInTheirPayloadsClock) {
  const struct {
    const char* name;
    int frequency;
    int eventRate;
  } rows[] = {
      {"AMRWB", 16000, 8000}, {"G722", 8000, 8000}, {"AMRWB", 16000, 16000}, {"PCMU", 8000, 48000}};
  constexpr int kEventPayloadType = 101;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " with events at " + std::to_string(row.eventRate));
    const EngineCodecRecord* entry = CodecCatalogue::Find(row.name, row.frequency);
    ASSERT_NE(entry, nullptr);
    std::mt19937 random{23};
    ChannelSender sender{random};
    ASSERT_TRUE(sender.SetCodec(*entry));
    sender.SetEventPayloadType(kEventPayloadType);
    sender.SetEventClockRate(row.eventRate);
    ChannelReceiver receiver;
    receiver.SetEventPayloadType(kEventPayloadType);
    receiver.SetEventClockRate(row.eventRate);

    // Audio, an event of 100 ms (7 packets), a pause, another event.
    std::vector<Bytes> datagrams;
    SendAt(sender, FrameRange(0, 5), datagrams);
    ASSERT_TRUE(sender.QueueEvent(3, 10, 100));
    SendAt(sender, FrameRange(5, 12), datagrams);
    ASSERT_TRUE(sender.QueueEvent(4, 10, 100));
    const std::vector<RtpView> packets = SendAt(sender, FrameRange(40, 47), datagrams);
    ASSERT_EQ(packets.size(), 19u);

    const std::uint32_t eventTicks = static_cast<std::uint32_t>(row.eventRate / 50);
    const RtpView& firstEvent = packets[5];
    const RtpView& secondEvent = packets[12];
    ASSERT_EQ(firstEvent.header.payloadType, kEventPayloadType);
    ASSERT_EQ(secondEvent.header.payloadType, kEventPayloadType);
    EXPECT_EQ(secondEvent.header.timestamp - firstEvent.header.timestamp, 35 * eventTicks);
    if (row.eventRate == entry->frequency) {
      EXPECT_EQ(firstEvent.header.timestamp,
                packets[4].header.timestamp + static_cast<std::uint32_t>(entry->packetSize))
          << "on the audio's clock an event takes the audio's timestamp";
    }
    TelephoneEventBlock last;
    ASSERT_TRUE(ParseTelephoneEvent(packets[11].payload, packets[11].payloadSize, &last));
    EXPECT_TRUE(last.end);
    EXPECT_EQ(last.duration, row.eventRate / 10);

    for (const Bytes& datagram : datagrams)
      receiver.OnDatagram(datagram.data(), datagram.size(), true);
    ASSERT_EQ(receiver.Events().Events().size(), 2u);
    for (const ReceivedTelephoneEvent& event : receiver.Events().Events()) {
      EXPECT_EQ(event.durationMs, 100);
      EXPECT_TRUE(event.ended);
    }
  }
}

}  // namespace
