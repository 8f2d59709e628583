// The stand-in engine driven through the engine contract only.
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "engine/voice_engine.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace standin;

using engine_test::Codec;

class StandInEngineTest : public testing::Test {
 protected:
  // Init, then a channel receiving on 21000 and sending to 127.0.0.1:21100 (ports the
  // system does not hand out on its own, and no other test uses).
  int StartedChannel() {
    EXPECT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
    int channel = base_->CreateChannel();
    EXPECT_EQ(base_->SetLocalReceiver(channel, 21000, -1, nullptr, nullptr), 0);
    EXPECT_EQ(base_->SetSendDestination(channel, 21100, "127.0.0.1", -1, -1), 0);
    return channel;
  }

  engine_test::Engine e_{false};
  GIPSVEBase* base_ = e_.base;
  GIPSVECodec* codec_ = e_.codec;
  GIPSVEFile* file_ = e_.file;
  GIPSVEVolumeControl* volume_ = e_.volume;
  GIPSVEHardware* hardware_ = e_.hardware;
  GIPSVENetwork* network_ = e_.network;
  GIPSVEDTMF* dtmf_ = e_.dtmf;
};

TEST_F(StandInEngineTest, CatalogueListsItsCodecsInOrderWith20msPackets) {
  const EngineCodecRecord expected[] = {{0, "PCMU", 8000, 160, 1, 64000},
                                        {8, "PCMA", 8000, 160, 1, 64000},
                                        {9, "G722", 8000, 160, 1, 64000},
                                        {18, "G729", 8000, 160, 1, 8000},
                                        {3, "GSM", 8000, 160, 1, 13200},
                                        {96, "AMR", 8000, 160, 1, 12200},
                                        {97, "AMRWB", 16000, 320, 1, 23850},
                                        {98, "IPCMWB", 16000, 320, 1, 256000},
                                        {13, "CN", 8000, 160, 1, 0},
                                        {99, "CN", 16000, 320, 1, 0},
                                        {101, "telephone-event", 8000, 160, 1, 0}};
  ASSERT_EQ(codec_->NumOfCodecs(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < codec_->NumOfCodecs(); ++i) {
    EngineCodecRecord got;
    std::memset(&got, 0x55, sizeof got);
    ASSERT_EQ(codec_->GetCodec(i, got), 0) << i;
    EXPECT_EQ(std::memcmp(&got, &expected[i], sizeof got), 0) << "entry " << i << " " << got.name;
  }
  EngineCodecRecord unused{};
  for (int index : {-1, 11, std::numeric_limits<int>::max()}) {
    EXPECT_EQ(codec_->GetCodec(index, unused), -1) << index;
    EXPECT_EQ(base_->LastError(), kCodecIndexOutOfRange);
  }
}

TEST_F(StandInEngineTest, ChannelsAreNumberedUpwardAndNeverReused) {
  EXPECT_EQ(base_->CreateChannel(), -1);
  EXPECT_EQ(base_->LastError(), kNotInitialised);
  ASSERT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
  EXPECT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
  EXPECT_EQ(base_->CreateChannel(), 0);
  EXPECT_EQ(base_->CreateChannel(), 1);
  EXPECT_EQ(base_->DeleteChannel(0), 0);
  EXPECT_EQ(base_->CreateChannel(), 2);
  EXPECT_EQ(base_->DeleteChannel(0), -1);
  EXPECT_EQ(base_->LastError(), kUnknownChannel);
  ASSERT_EQ(base_->Terminate(), 0);
  EXPECT_EQ(base_->Terminate(), -1);
  EXPECT_EQ(base_->LastError(), kNotInitialised);
  ASSERT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
  EXPECT_EQ(base_->StartPlayout(1), -1) << "Terminate deletes every channel";
  EXPECT_EQ(base_->CreateChannel(), 3);
}

TEST_F(StandInEngineTest, ChannelCountIsLimited) {
  ASSERT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(base_->CreateChannel(), i);
  EXPECT_EQ(base_->CreateChannel(), -1);
  EXPECT_EQ(base_->LastError(), kTooManyChannels);
  EXPECT_EQ(base_->DeleteChannel(7), 0);
  EXPECT_EQ(base_->CreateChannel(), 32);
}

// Every operation that names a channel refuses one that does not exist.
TEST_F(StandInEngineTest, UnknownChannelIsRefusedEverywhere) {
  ASSERT_EQ(base_->Init(0, 0, 0, 0, 1), 0);
  MemoryInStream in;
  EngineCodecRecord pcmu = Codec("PCMU", 8000);
  int level = 0;
  const std::function<int(int)> operations[] = {
      [&](int ch) { return base_->DeleteChannel(ch); },
      [&](int ch) { return base_->SetLocalReceiver(ch, 21000, -1, nullptr, nullptr); },
      [&](int ch) { return base_->SetSendDestination(ch, 6000, "127.0.0.1", -1, -1); },
      [&](int ch) { return base_->StartListen(ch); },
      [&](int ch) { return base_->StartPlayout(ch); },
      [&](int ch) { return base_->StartSend(ch); },
      [&](int ch) { return base_->StopListen(ch); },
      [&](int ch) { return base_->StopPlayout(ch); },
      [&](int ch) { return base_->StopSend(ch); },
      [&](int ch) { return codec_->SetSendCodec(ch, pcmu); },
      [&](int ch) { return codec_->SetRecPayloadType(ch, pcmu); },
      [&](int ch) { return codec_->SetVADStatus(ch, 1, 0, 0); },
      [&](int ch) { return file_->StartPlayingFileLocally(ch, &in, 2, 1.0f, 0, 0); },
      [&](int ch) { return file_->StopPlayingFileLocally(ch); },
      [&](int ch) { return file_->StartPlayingFileAsMicrophone(ch, &in, true, 2, 1.0f); },
      [&](int ch) { return file_->StopPlayingFileAsMicrophone(ch); },
      [&](int ch) { return volume_->SetInputMute(ch, true); },
      [&](int ch) { return volume_->GetSpeakerLevel(ch, level); },
      [&](int ch) { return network_->SetSendTOS(ch, 184, 0); },
      [&](int ch) { return dtmf_->SendTelephoneEvent(ch, 1, true, 160, 10); },
      [&](int ch) { return dtmf_->SetDTMFPayloadType(ch, 101); },
  };
  for (size_t i = 0; i < std::size(operations); ++i) {
    for (int channel : {0, -2, 12345}) {  // -1 means "all" to GetSpeakerLevel
      EXPECT_EQ(operations[i](channel), -1) << "operation " << i << " channel " << channel;
      EXPECT_EQ(base_->LastError(), kUnknownChannel) << "operation " << i;
    }
  }
}

TEST_F(StandInEngineTest, RefusalsLeaveTheirCode) {
  int channel = StartedChannel();
  int other = base_->CreateChannel();
  MemoryInStream in;
  MemoryOutStream out;
  EngineCodecRecord unterminated = Codec("PCMU", 8000);
  std::memset(unterminated.name, 'A', sizeof unterminated.name);
  char shortBuffer[8];
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  EngineCodecRecord ilbc = Codec("iLBC", 8000, 0, 97);
  EngineCodecRecord noName{};
  auto receiveOn = [&](int port, int rtcpPort) {
    return base_->SetLocalReceiver(other, port, rtcpPort, nullptr, nullptr);
  };
  auto sendTo = [&](int port, const char* ip) {
    return base_->SetSendDestination(other, port, ip, -1, -1);
  };
  auto sendWith = [&](EngineCodecRecord record) { return codec_->SetSendCodec(channel, record); };
  auto playLocally = [&](GIPSVEInStream* stream, float scale) {
    return file_->StartPlayingFileLocally(channel, stream, 0, scale, 0, 0);
  };
  const struct {
    const char* what;
    int error;
    std::function<int()> call;
  } rows[] = {
      {"port 0", kInvalidPort, [&] { return receiveOn(0, -1); }},
      {"port 65536", kInvalidPort, [&] { return receiveOn(65536, -1); }},
      {"RTCP beyond 65535", kInvalidPort, [&] { return receiveOn(65535, -1); }},
      {"RTP port taken", kReceivePortInUse, [&] { return receiveOn(21000, -1); }},
      {"RTP on taken RTCP", kReceivePortInUse, [&] { return receiveOn(21001, 21201); }},
      {"RTCP on taken RTP", kReceivePortInUse, [&] { return receiveOn(20999, -1); }},
      {"listen before receiver", kReceiverNotSet, [&] { return base_->StartListen(other); }},
      {"send before destination", kDestinationNotSet, [&] { return base_->StartSend(other); }},
      {"null destination", kInvalidArgument, [&] { return sendTo(6000, nullptr); }},
      {"empty destination", kInvalidArgument, [&] { return sendTo(6000, ""); }},
      {"destination port 0", kInvalidPort, [&] { return sendTo(0, "127.0.0.1"); }},
      {"version buffer short", kBufferTooSmall,
       [&] { return base_->GetVersion(shortBuffer, sizeof shortBuffer); }},
      {"version buffer null", kInvalidArgument, [&] { return base_->GetVersion(nullptr, 500); }},
      {"send CN", kUnsupportedCodec, [&] { return sendWith(Codec("CN", 8000, 0, 13)); }},
      {"send telephone-event", kUnsupportedCodec,
       [&] { return sendWith(Codec("telephone-event", 8000, 0, 101)); }},
      {"send unknown codec", kUnsupportedCodec, [&] { return sendWith(ilbc); }},
      {"send payload 128", kInvalidArgument, [&] { return sendWith(Codec("PCMU", 8000, 0, 128)); }},
      {"send unterminated name", kInvalidArgument, [&] { return sendWith(unterminated); }},
      {"receive unknown codec", kUnsupportedCodec,
       [&] { return codec_->SetRecPayloadType(channel, Codec("AMR-WB", 16000, 0, 100)); }},
      {"null play stream", kInvalidArgument, [&] { return playLocally(nullptr, 1.0f); }},
      {"file kind 3", kInvalidArgument,
       [&] { return file_->StartPlayingFileAsMicrophone(channel, &in, true, 3, 1.0f); }},
      {"negative scale", kInvalidArgument, [&] { return playLocally(&in, -1.0f); }},
      {"NaN scale", kInvalidArgument, [&] { return playLocally(&in, kNaN); }},
      {"null record stream", kInvalidArgument,
       [&] { return file_->StartRecordingPlayout(nullptr, nullptr); }},
      {"record unknown codec", kUnsupportedCodec,
       [&] { return file_->StartRecordingPlayout(&out, &ilbc); }},
      {"call file null", kInvalidArgument,
       [&] { return file_->StartRecordingCall(nullptr, &noName, -1); }},
      {"call codec unknown", kUnsupportedCodec,
       [&] { return file_->StartRecordingCall("c.wav", &ilbc, -1); }},
      {"convert null input", kInvalidArgument,
       [&] { return file_->ConvertWavToPcm(nullptr, &out); }},
      {"compress without codec", kInvalidArgument,
       [&] { return file_->ConvertPcmToCompressed(&in, &out, nullptr); }},
      {"mic volume 256", kInvalidArgument, [&] { return volume_->SetMicVolume(256); }},
      {"device -2", kInvalidArgument, [&] { return hardware_->SetSoundDevices(-2, 0, 0, 0, 2); }},
      {"TOS 256", kInvalidArgument, [&] { return network_->SetSendTOS(channel, 256, 0); }},
      {"event 256", kInvalidArgument,
       [&] { return dtmf_->SendTelephoneEvent(channel, 256, true, 160, 10); }},
      {"attenuation 64", kInvalidArgument,
       [&] { return dtmf_->SendTelephoneEvent(channel, 1, true, 160, 64); }},
      {"DTMF payload 128", kInvalidArgument,
       [&] { return dtmf_->SetDTMFPayloadType(channel, 128); }},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.call(), -1) << row.what;
    EXPECT_EQ(base_->LastError(), row.error) << row.what;
  }
}

// A send codec is taken at the packet times its codec is sent at, 10 to 60
// ms in its steps; any other packet size is refused with its own code.
TEST_F(StandInEngineTest, SendCodecTakesThePacketTimesItsCodecAllows) {
  int channel = StartedChannel();
  auto listed = [&](const char* name) {
    EngineCodecRecord entry{};
    for (int i = 0; codec_->GetCodec(i, entry) == 0; ++i)
      if (std::string_view(entry.name) == name) return true;
    return false;
  };
  const struct {
    const char* name;
    int frequency;
    int packetSize;
    bool taken;
  } rows[] = {
      {"PCMU", 8000, 80, true},     {"PCMA", 8000, 480, true},
      {"G722", 8000, 240, true},    {"G729", 8000, 80, true},
      {"GSM", 8000, 320, true},     {"AMRWB", 16000, 960, true},
      {"IPCMWB", 16000, 160, true}, {"PCMU", 8000, 560, false},  // 70 ms
      {"PCMU", 8000, 100, false},                                // 12.5 ms
      {"PCMU", 8000, 0, false},     {"PCMU", 8000, -160, false},
      {"GSM", 8000, 240, false},  // 30 ms: not whole 20 ms frames
      {"AMR", 8000, 80, false},     {"AMRWB", 16000, 1120, false},
  };
  for (const auto& row : rows) {
    if (!listed(row.name)) continue;  // a build without this codec
    EngineCodecRecord record = Codec(row.name, row.frequency);
    record.packetSize = row.packetSize;
    const std::string what = std::string(row.name) + " " + std::to_string(row.packetSize);
    EXPECT_EQ(codec_->SetSendCodec(channel, record), row.taken ? 0 : -1) << what;
    if (!row.taken) {
      EXPECT_EQ(base_->LastError(), kInvalidPacketSize) << what;
    }
  }
}

// What the adapter passes in a call's life and the loopback calls do not
// exercise is accepted.
TEST_F(StandInEngineTest, AcceptsACallsOperations) {
  int channel = StartedChannel();
  MemoryInStream in;
  MemoryOutStream out;
  EngineCodecRecord amr = Codec("AMR", 8000, 0, 96);
  EngineCodecRecord noName{};
  EngineCodecRecord linear = Codec("L16", 8000);
  const test_support::TempFolder folder("standin_accepts_call");
  ASSERT_FALSE(folder.Path().empty());
  const std::string callFile = folder.File("call.wav");
  int value = -1;
  char version[500] = {};
  const std::function<int()> calls[] = {
      [&] { return base_->GetVersion(version, sizeof version); },
      [&] { return hardware_->SetSoundDevices(-1, 0, 0, 0, 2); },
      [&] { return codec_->SetRecPayloadType(channel, Codec("amr", 8000, 0, 100)); },
      [&] { return codec_->SetRecPayloadType(channel, Codec("CN", 16000, 0, 104)); },
      [&] { return codec_->SetSendCodec(channel, Codec("AMR", 8000, 0, 100)); },
      [&] { return codec_->SetSendCodec(channel, Codec("g722", 8000, 0, 9)); },
      [&] { return base_->StartListen(channel); },
      [&] { return base_->StartSend(channel); },
      [&] { return volume_->SetMicVolume(255); },
      [&] { return volume_->GetMicVolume(value) == 0 && value == 255 ? 0 : -2; },
      [&] { return file_->StartPlayingFileLocally(channel, &in, 2, 1.0f, 0, 0); },
      [&] { return file_->StartPlayingFileAsMicrophone(channel, &in, true, 0, 0.5f); },
      [&] { return file_->StartRecordingPlayout(&out, &amr); },
      [&] { return file_->StartRecordingCall(callFile.c_str(), &noName, -1); },
      [&] { return file_->StartRecordingCall(callFile.c_str(), &linear, -1); },
      [&] { return file_->PauseRecordingCall(true); },
      [&] { return base_->SetLocalReceiver(channel, 21000, -1, "127.0.0.1", nullptr); },
      [&] { return base_->StopSend(channel); },
      [&] { return base_->StopListen(channel); },
      // The engine writes to the streams until they are stopped.
      [&] { return file_->StopRecordingPlayout(); },
      [&] { return file_->StopRecordingCall(); },
      // A deleted channel's port is free again.
      [&] { return base_->DeleteChannel(channel); },
      [&] { return base_->CreateChannel() == channel + 1 ? 0 : -2; },
      [&] { return base_->SetLocalReceiver(channel + 1, 21000, -1, nullptr, nullptr); },
  };
  for (size_t i = 0; i < std::size(calls); ++i)
    EXPECT_EQ(calls[i](), 0) << "call " << i << ", last error " << base_->LastError();
  EXPECT_GT(std::strlen(version), 0u);
}

// The fixture's engine then gives back the rest and is deleted.
TEST_F(StandInEngineTest, EngineIsDeletedOnlyWhenEveryInterfaceIsBack) {
  GIPSVEVideoSync* videoSync = GIPSVEVideoSync::GetInterface(e_.engine);
  ASSERT_NE(videoSync, nullptr);
  ASSERT_EQ(GIPSVEVQE::GetInterface(e_.engine), e_.vqe);
  EXPECT_FALSE(GIPSVoiceEngine::Delete(e_.engine));
  EXPECT_NE(e_.engine, nullptr);
  EXPECT_EQ(e_.vqe->Release(), 1);
  EXPECT_EQ(videoSync->Release(), 0);
  EXPECT_EQ(videoSync->Release(), -1);
  EXPECT_EQ(base_->LastError(), kInterfaceNotHeld);

  GIPSVoiceEngine* none = nullptr;
  EXPECT_FALSE(GIPSVoiceEngine::Delete(none));
  EXPECT_EQ(GIPSVEBase::GIPSVE_GetInterface(nullptr), nullptr);
  EXPECT_EQ(GIPSVEDTMF::GetInterface(nullptr), nullptr);
}

}  // namespace
