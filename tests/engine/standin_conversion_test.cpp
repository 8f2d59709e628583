// The engine's stream conversions, driven through the engine contract.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "engine/voice_engine.h"
#include "tests/engine/audio_signal.h"
#include "tests/support/memory_streams.h"

namespace {

using namespace standin;
using audio_test::Codec;

constexpr double kToneHz = 1000;
constexpr double kToneAmplitude = 10000;

class StandInConversionTest : public testing::Test {
 protected:
  void SetUp() override {
    engine_ = GIPSVoiceEngine::Create();
    ASSERT_NE(engine_, nullptr);
    base_ = GIPSVEBase::GIPSVE_GetInterface(engine_);
    file_ = GIPSVEFile::GetInterface(engine_);
    ASSERT_TRUE(base_ && file_);
  }
  void TearDown() override {
    EXPECT_EQ(file_->Release(), 0);
    EXPECT_EQ(base_->Release(), 0);
    EXPECT_TRUE(GIPSVoiceEngine::Delete(engine_));
  }

  // One second of the tone as PCM of the conversions (16 kHz, 16-bit LE).
  static std::string PcmTone() {
    return audio_test::LittleEndianBytes(audio_test::Tone(16000, kToneHz, kToneAmplitude, 16000));
  }
  static void ExpectPcmTone(const std::string& bytes, double seconds, double toleranceDb) {
    std::vector<std::int16_t> pcm = audio_test::LittleEndianSamples(bytes);
    EXPECT_NEAR(static_cast<double>(pcm.size()) / 16000, seconds, 0.03);
    ASSERT_GT(pcm.size(), 6400u);
    std::span<const std::int16_t> middle(pcm.data() + 1600, pcm.size() - 3200);
    EXPECT_NEAR(audio_test::LevelDb(middle), -13.3, toleranceDb);
    EXPECT_NEAR(audio_test::DominantFrequency(middle, 16000), kToneHz, 25);
  }

  GIPSVoiceEngine* engine_ = nullptr;
  GIPSVEBase* base_ = nullptr;
  GIPSVEFile* file_ = nullptr;
};

TEST_F(StandInConversionTest, WavBecomesPcmAt16kHz) {
  // A half-second 8 kHz mono WAV, laid out by hand.
  std::vector<std::int16_t> tone = audio_test::Tone(8000, kToneHz, kToneAmplitude, 4000);
  std::string data = audio_test::LittleEndianBytes(tone);
  auto le32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  };
  std::string wav = "RIFF" + le32(36 + static_cast<std::uint32_t>(data.size())) + "WAVEfmt " +
                    le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) + le32(16000) +
                    std::string("\x02\x00\x10\x00", 4) + "data" +
                    le32(static_cast<std::uint32_t>(data.size())) + data;
  MemoryInStream in(wav);
  MemoryOutStream out;
  ASSERT_EQ(file_->ConvertWavToPcm(&in, &out), 0) << base_->LastError();
  ExpectPcmTone(out.written, 0.5, 0.5);
}

TEST_F(StandInConversionTest, PcmCompressesAndComesBack) {
  struct Row {
    const char* codec;
    int frequency;
    int rate;
    const char* header;
    std::size_t bytes;    // for one second
    bool selfDescribing;  // converts back without being told the codec
    double toleranceDb;
  } rows[] = {
      {"PCMU", 8000, 64000, "", 8000, true, 0.5},
      {"PCMA", 8000, 64000, "", 8000, true, 0.5},
      {"AMR", 8000, 12200, "#!AMR\n", 1600, true, 3},
      {"AMRWB", 16000, 23850, "#!AMR-WB\n", 3050, true, 3},
      {"G722", 8000, 64000, "", 8000, false, 0},
      {"G729", 8000, 8000, "", 1000, false, 0},
      {"GSM", 8000, 13200, "", 1650, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codec);
    EngineCodecRecord codec = Codec(row.codec, row.frequency, row.rate);
    MemoryInStream pcm(PcmTone());
    MemoryOutStream compressed;
    ASSERT_EQ(file_->ConvertPcmToCompressed(&pcm, &compressed, &codec), 0) << base_->LastError();
    std::string header(row.header);
    EXPECT_EQ(compressed.written.substr(0, header.size()), header);
    EXPECT_NEAR(static_cast<double>(compressed.written.size() - header.size()),
                static_cast<double>(row.bytes), row.bytes / 50.0 + 1);
    if (!row.selfDescribing) continue;
    MemoryInStream in(compressed.written);
    MemoryOutStream back;
    ASSERT_EQ(file_->ConvertCompressedToPcm(&in, &back), 0) << base_->LastError();
    ExpectPcmTone(back.written, 1.0, row.toleranceDb);
  }
}

TEST_F(StandInConversionTest, PcmToIpcmwbIsACopy) {
  std::string pcm = PcmTone();
  MemoryInStream in(pcm);
  MemoryOutStream out;
  EngineCodecRecord ipcmwb = Codec("IPCMWB", 16000, 256000);
  ASSERT_EQ(file_->ConvertPcmToCompressed(&in, &out, &ipcmwb), 0);
  EXPECT_EQ(out.written, pcm);
}

TEST_F(StandInConversionTest, EmptyInputs) {
  EngineCodecRecord amr = Codec("AMR", 8000, 12200);
  struct Row {
    const char* what;
    std::function<int(MemoryInStream*, MemoryOutStream*)> convert;
    std::string output;
  } rows[] = {
      {"PCM to AMR",
       [&](MemoryInStream* in, MemoryOutStream* out) {
         return file_->ConvertPcmToCompressed(in, out, &amr);
       },
       "#!AMR\n"},
      {"nothing to PCM",
       [&](MemoryInStream* in, MemoryOutStream* out) {
         return file_->ConvertCompressedToPcm(in, out);
       },
       ""},
      {"AMR header only to PCM",
       [&](MemoryInStream*, MemoryOutStream* out) {
         MemoryInStream header("#!AMR\n");
         return file_->ConvertCompressedToPcm(&header, out);
       },
       ""},
  };
  for (const Row& row : rows) {
    MemoryInStream in;
    MemoryOutStream out;
    EXPECT_EQ(row.convert(&in, &out), 0) << row.what;
    EXPECT_EQ(out.written, row.output) << row.what;
  }
}

TEST_F(StandInConversionTest, FailuresReportTheirCodeAndWriteNothing) {
  EngineCodecRecord cn = Codec("CN", 8000);
  EngineCodecRecord pcmu = Codec("PCMU", 8000);
  struct Row {
    const char* what;
    std::string input;
    std::function<int(MemoryInStream*, MemoryOutStream*)> convert;
    bool refuseWrites;
    int error;
  } rows[] = {
      {"empty WAV", "", [&](auto in, auto out) { return file_->ConvertWavToPcm(in, out); }, false,
       kBadFileData},
      {"garbage WAV", std::string(300, '\x7f'),
       [&](auto in, auto out) { return file_->ConvertWavToPcm(in, out); }, false, kBadFileData},
      {"iLBC data", "#!iLBC30\nxxxxxxxx",
       [&](auto in, auto out) { return file_->ConvertCompressedToPcm(in, out); }, false,
       kUnsupportedCodec},
      {"multichannel AMR", "#!AMR_MC1.0\nxxxx",
       [&](auto in, auto out) { return file_->ConvertCompressedToPcm(in, out); }, false,
       kBadFileData},
      {"compress to CN", PcmTone(),
       [&](auto in, auto out) { return file_->ConvertPcmToCompressed(in, out, &cn); }, false,
       kUnsupportedCodec},
      {"output refused", PcmTone(),
       [&](auto in, auto out) { return file_->ConvertPcmToCompressed(in, out, &pcmu); }, true,
       kStreamWriteFailed},
      {"null output", "", [&](auto in, auto) { return file_->ConvertCompressedToPcm(in, nullptr); },
       false, kInvalidArgument},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryInStream in(row.input);
    MemoryOutStream out;
    out.refuse = row.refuseWrites;
    EXPECT_EQ(row.convert(&in, &out), -1);
    EXPECT_EQ(base_->LastError(), row.error);
    EXPECT_TRUE(out.written.empty());
  }
}

}  // namespace
