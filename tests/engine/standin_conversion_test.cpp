// The engine's stream conversions, driven through the engine contract.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"

namespace {

using namespace standin;
using namespace engine_test;

class StandInConversionTest : public testing::Test {
 protected:
  // One second of the test tone as PCM of the conversions (16 kHz, 16-bit LE).
  static std::string PcmTone() {
    return LittleEndianBytes(Tone(16000, kToneHz, kToneAmplitude, 16000));
  }
  static void ExpectPcmTone(const std::string& bytes, double seconds, double toleranceDb) {
    ExpectTone(Samples(bytes), 16000, seconds, toleranceDb, 0.03);
  }

  Engine engine_;
  GIPSVEFile* file_ = engine_.file;
};

TEST_F(StandInConversionTest, WavBecomesPcmAt16kHz) {
  MemoryInStream in(Wav(1, 8000, 16, Tone(8000, kToneHz, kToneAmplitude, 4000)));
  MemoryOutStream out;
  ASSERT_EQ(file_->ConvertWavToPcm(&in, &out), 0) << engine_.base->LastError();
  ExpectPcmTone(out.written, 0.5, 0.5);
}

// The codecs whose files name their kind convert back without being told it;
// the file tests cover each codec's framing.
TEST_F(StandInConversionTest, PcmCompressesAndComesBack) {
  struct Row {
    const char* codec;
    int frequency;
    int rate;
    const char* header;
    std::size_t bytes;  // for one second
    double toleranceDb;
  } rows[] = {
      {"PCMU", 8000, 64000, "", 8000, 0.5},
      {"PCMA", 8000, 64000, "", 8000, 0.5},
      {"AMR", 8000, 12200, "#!AMR\n", 1600, 3},
      {"AMRWB", 16000, 23850, "#!AMR-WB\n", 3050, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codec);
    EngineCodecRecord codec = Codec(row.codec, row.frequency, row.rate);
    MemoryInStream pcm(PcmTone());
    MemoryOutStream compressed;
    ASSERT_EQ(file_->ConvertPcmToCompressed(&pcm, &compressed, &codec), 0)
        << engine_.base->LastError();
    std::string header(row.header);
    EXPECT_EQ(compressed.written.substr(0, header.size()), header);
    EXPECT_NEAR(static_cast<double>(compressed.written.size() - header.size()),
                static_cast<double>(row.bytes), row.bytes / 50.0 + 1);
    MemoryInStream in(compressed.written);
    MemoryOutStream back;
    ASSERT_EQ(file_->ConvertCompressedToPcm(&in, &back), 0) << engine_.base->LastError();
    ExpectPcmTone(back.written, 1.0, row.toleranceDb);
  }
  // IPCMWB is the conversions' own PCM: the file is a copy.
  MemoryInStream in(PcmTone());
  MemoryOutStream out;
  EngineCodecRecord ipcmwb = Codec("IPCMWB", 16000, 256000);
  ASSERT_EQ(file_->ConvertPcmToCompressed(&in, &out, &ipcmwb), 0);
  EXPECT_EQ(out.written, PcmTone());
}

using Convert = std::function<int(MemoryInStream*, MemoryOutStream*)>;

TEST_F(StandInConversionTest, EmptyInputs) {
  EngineCodecRecord amr = Codec("AMR", 8000, 12200);
  const Convert toPcm = [&](auto in, auto out) { return file_->ConvertCompressedToPcm(in, out); };
  const struct {
    const char* what;
    std::string input;
    Convert convert;
    std::string output;
  } rows[] = {
      {"PCM to AMR", "",
       [&](auto in, auto out) { return file_->ConvertPcmToCompressed(in, out, &amr); }, "#!AMR\n"},
      {"nothing to PCM", "", toPcm, ""},
      {"AMR header only to PCM", "#!AMR\n", toPcm, ""},
  };
  for (const auto& row : rows) {
    MemoryInStream in(row.input);
    MemoryOutStream out;
    EXPECT_EQ(row.convert(&in, &out), 0) << row.what;
    EXPECT_EQ(out.written, row.output) << row.what;
  }
}

TEST_F(StandInConversionTest, FailuresReportTheirCodeAndWriteNothing) {
  EngineCodecRecord cn = Codec("CN", 8000);
  EngineCodecRecord pcmu = Codec("PCMU", 8000);
  const Convert toPcm = [&](auto in, auto out) { return file_->ConvertCompressedToPcm(in, out); };
  const Convert wavToPcm = [&](auto in, auto out) { return file_->ConvertWavToPcm(in, out); };
  const struct {
    const char* what;
    std::string input;
    Convert convert;
    bool refuseWrites;
    int error;
  } rows[] = {
      {"garbage WAV", std::string(300, '\x7f'), wavToPcm, false, kBadFileData},
      {"iLBC data", "#!iLBC30\nxxxxxxxx", toPcm, false, kUnsupportedCodec},
      {"compress to CN", PcmTone(),
       [&](auto in, auto out) { return file_->ConvertPcmToCompressed(in, out, &cn); }, false,
       kUnsupportedCodec},
      {"output refused", PcmTone(),
       [&](auto in, auto out) { return file_->ConvertPcmToCompressed(in, out, &pcmu); }, true,
       kStreamWriteFailed},
      {"null output", "", [&](auto in, auto) { return file_->ConvertCompressedToPcm(in, nullptr); },
       false, kInvalidArgument},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryInStream in(row.input);
    MemoryOutStream out;
    out.refuse = row.refuseWrites;
    EXPECT_EQ(row.convert(&in, &out), -1);
    EXPECT_EQ(engine_.base->LastError(), row.error);
    EXPECT_TRUE(out.written.empty());
  }
}

}  // namespace
