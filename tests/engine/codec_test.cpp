// The engine's codecs: a tone survives each one, payloads have the sizes
// peers expect, and decoders survive whatever arrives.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/audio_codec.h"
#include "engine/standin/codecs/codec_registry.h"
#include "engine/standin/codecs/comfort_noise.h"
#include "engine/standin/codecs/g711_codec.h"
#include "engine/standin/codecs/g711_tables.h"
#include "tests/engine/engine_harness.h"

namespace {

using namespace standin;
using namespace engine_test;

struct CodecRow {
  const char* name;  // spelled as a peer might
  int frequency;
  int rate;
  int sampleRate;
  int frameSamples;
  int rtpTicks;
  std::size_t payloadBytes;  // per 20 ms
  double levelToleranceDb;
};

const CodecRow kCodecs[] = {
    {"PCMU", 8000, 64000, 8000, 160, 160, 160, 0.3},
    {"pcma", 8000, 64000, 8000, 160, 160, 160, 0.3},
    {"G722", 8000, 64000, 16000, 320, 160, 160, 0.5},
    {"g729", 8000, 8000, 8000, 160, 160, 20, 1.5},
    {"GSM", 8000, 13200, 8000, 160, 160, 33, 1},
    {"AMR", 8000, 12200, 8000, 160, 160, 32, 1.5},
    {"amr", 8000, 4750, 8000, 160, 160, 14, 1.5},
    {"AMR", 8000, 0, 8000, 160, 160, 32, 1.5},  // no rate: the highest mode
    {"AMRWB", 16000, 23850, 16000, 320, 320, 61, 1.5},
    {"AmrWb", 16000, 6600, 16000, 320, 320, 18, 2},
    {"IPCMWB", 16000, 256000, 16000, 320, 320, 640, 0.05},
};

TEST(CodecTest, ToneSurvivesEveryCodecWithItsPayloadSize) {
  for (const CodecRow& row : kCodecs) {
    SCOPED_TRACE(std::string(row.name) + " at " + std::to_string(row.rate));
    EngineCodecRecord record = Codec(row.name, row.frequency, row.rate);
    std::unique_ptr<AudioEncoder> encoder = CreateEncoder(record);
    std::unique_ptr<AudioDecoder> decoder = CreateDecoder(record);
    ASSERT_TRUE(encoder && decoder);
    EXPECT_EQ(encoder->SampleRate(), row.sampleRate);
    EXPECT_EQ(encoder->FrameSamples(), row.frameSamples);
    EXPECT_EQ(encoder->RtpTicksPerFrame(), row.rtpTicks);
    EXPECT_EQ(decoder->SampleRate(), row.sampleRate);
    EXPECT_EQ(decoder->FrameSamples(), row.frameSamples);

    std::vector<std::int16_t> tone =
        Tone(row.sampleRate, kToneHz, kToneAmplitude, static_cast<std::size_t>(row.sampleRate));
    const std::vector<std::int16_t> original = tone;
    std::vector<std::int16_t> decoded;
    for (std::size_t at = 0; at + static_cast<std::size_t>(row.frameSamples) <= tone.size();
         at += static_cast<std::size_t>(row.frameSamples)) {
      std::vector<std::uint8_t> payload;
      ASSERT_TRUE(encoder->Encode(tone.data() + at, payload));
      ASSERT_EQ(payload.size(), row.payloadBytes);
      ASSERT_TRUE(decoder->Decode(payload.data(), payload.size(), decoded));
    }
    EXPECT_EQ(tone, original) << "the encoder changed its input";
    ASSERT_EQ(decoded.size(), tone.size());
    // The first 200 ms let the codec settle.
    const Pcm settled = Pcm(decoded).subspan(static_cast<std::size_t>(row.sampleRate / 5));
    EXPECT_NEAR(LevelDb(settled), LevelDb(tone), row.levelToleranceDb);
    EXPECT_NEAR(DominantFrequency(settled, row.sampleRate), kToneHz, 25);
  }
}

// A frame lost in the middle of a tone is made up from what came before:
// the tone goes on at about its level instead of dropping to silence. A
// longer loss has faded out after 100 ms instead of buzzing on, and the
// tone comes back with the packets.
TEST(CodecTest, LostFrameContinuesTheTone) {
  // Per 20 ms frame: received (true) or lost.
  const std::vector<bool> arrives = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0, 0,
                                     0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  struct Check {
    std::size_t frame;
    bool tone;  // the tone within 6 dB, or 20 dB below it at least
  } checks[] = {{10, true}, {20, false}, {32, true}};  // CELP decoders take ~10 frames back
  const double tonePower = kToneAmplitude * kToneAmplitude / 2;
  for (const CodecRow& row : kCodecs) {
    SCOPED_TRACE(std::string(row.name) + " at " + std::to_string(row.rate));
    EngineCodecRecord record = Codec(row.name, row.frequency, row.rate);
    std::unique_ptr<AudioEncoder> encoder = CreateEncoder(record);
    std::unique_ptr<AudioDecoder> decoder = CreateDecoder(record);
    ASSERT_TRUE(encoder && decoder);
    const std::size_t frame = static_cast<std::size_t>(row.frameSamples);
    const std::vector<std::int16_t> tone =
        Tone(row.sampleRate, kToneHz, kToneAmplitude, arrives.size() * frame);
    std::vector<std::int16_t> pcm;
    for (std::size_t f = 0; f < arrives.size(); ++f) {
      std::vector<std::uint8_t> payload;
      ASSERT_TRUE(encoder->Encode(tone.data() + f * frame, payload));
      if (arrives[f])
        ASSERT_TRUE(decoder->Decode(payload.data(), payload.size(), pcm));
      else
        decoder->Conceal(pcm);
      ASSERT_EQ(pcm.size(), (f + 1) * frame);
    }
    for (const Check& check : checks) {
      const double power =
          TonePower(Window(pcm, check.frame * frame, frame), kToneHz, row.sampleRate);
      if (check.tone)
        EXPECT_GT(power, tonePower / 4) << "frame " << check.frame << " lost the tone";
      else
        EXPECT_LT(power, tonePower / 100) << "frame " << check.frame << " did not fade";
    }
  }
}

TEST(CodecTest, DecodersSurviveGarbage) {
  const std::size_t sizes[] = {0,
                               1,
                               2,
                               3,
                               10,
                               12,
                               20,
                               32,
                               33,
                               61,
                               66,
                               160,
                               641,
                               1500,
                               kMaxPayloadBytes,
                               kMaxPayloadBytes + 1};
  std::mt19937 random(8);
  for (const CodecImplementation& codec : AvailableCodecs()) {
    SCOPED_TRACE(codec.name);
    std::unique_ptr<AudioDecoder> decoder = CreateDecoder(Codec(codec.name, codec.frequency));
    ASSERT_NE(decoder, nullptr);
    for (std::size_t size : sizes) {
      for (int fill : {-1, 0x00, 0xFF}) {
        SCOPED_TRACE("size " + std::to_string(size) + " fill " + std::to_string(fill));
        std::vector<std::uint8_t> payload(size);
        for (std::uint8_t& byte : payload)
          byte = static_cast<std::uint8_t>(fill < 0 ? random() : static_cast<unsigned>(fill));
        std::vector<std::int16_t> pcm(7, 42);
        bool decoded = decoder->Decode(payload.data(), payload.size(), pcm);
        if (size == 0 || size > kMaxPayloadBytes) {
          EXPECT_FALSE(decoded);
        }
        EXPECT_EQ(pcm.size() > 7, decoded) << "only a decoded payload appends";
      }
    }
    std::vector<std::int16_t> pcm;
    decoder->Conceal(pcm);
    EXPECT_EQ(pcm.size(), static_cast<std::size_t>(decoder->FrameSamples()));
  }
}

TEST(CodecTest, OnlyVoiceCodecsOfThisBuildAreCreated) {
  EngineCodecRecord unterminated = Codec("PCMU", 8000);
  std::memset(unterminated.name, 'A', sizeof unterminated.name);
  const EngineCodecRecord refused[] = {
      Codec("iLBC", 8000), Codec("CN", 8000),    Codec("telephone-event", 8000),
      Codec("", 8000),     Codec("PCMU ", 8000), Codec("AMR-WB", 16000),
      unterminated};
  for (const EngineCodecRecord& record : refused) {
    SCOPED_TRACE(std::string(record.name, strnlen(record.name, sizeof record.name)));
    EXPECT_EQ(CreateEncoder(record), nullptr);
    EXPECT_EQ(CreateDecoder(record), nullptr);
  }
  // A frequency that does not match still finds the codec by name.
  EXPECT_NE(CreateEncoder(Codec("pcmu", 16000)), nullptr);
}

TEST(CodecTest, G711AndIpcmwbKnownBytes) {
  struct Row {
    const char* name;
    std::int16_t sample;
    std::vector<std::uint8_t> bytes;
  } rows[] = {
      {"PCMU", 0, {0xFF}},
      {"PCMU", -32768, {0x00}},
      {"PCMU", 32767, {0x80}},
      {"PCMA", 0, {0xD5}},
      {"PCMA", 32767, {0xAA}},
      {"PCMA", -32768, {0x2A}},
      {"IPCMWB", 0x1234, {0x12, 0x34}},
      {"IPCMWB", -2, {0xFF, 0xFE}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.sample));
    std::unique_ptr<AudioEncoder> encoder = CreateEncoder(Codec(row.name, 0));
    ASSERT_NE(encoder, nullptr);
    std::vector<std::int16_t> frame(static_cast<std::size_t>(encoder->FrameSamples()), row.sample);
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(encoder->Encode(frame.data(), payload));
    ASSERT_GE(payload.size(), row.bytes.size());
    EXPECT_EQ(std::vector<std::uint8_t>(
                  payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(row.bytes.size())),
              row.bytes);
  }
}

// The built-in laws (the build without the telephony library) equal the
// library's for every sample and every code.
TEST(CodecTest, BuiltInG711EqualsTheLibrary) {
  struct Row {
    const char* law;
    G711Law builtIn;
    G711Law library;
  } rows[] = {{"mu", BuiltInMuLaw(), LibraryMuLaw()}, {"A", BuiltInALaw(), LibraryALaw()}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.law);
    int encodeDifferences = 0;
    for (int sample = -32768; sample <= 32767; ++sample)
      encodeDifferences += row.builtIn.encode(static_cast<std::int16_t>(sample)) !=
                           row.library.encode(static_cast<std::int16_t>(sample));
    EXPECT_EQ(encodeDifferences, 0);
    for (int code = 0; code < 256; ++code)
      EXPECT_EQ(row.builtIn.decode(static_cast<std::uint8_t>(code)),
                row.library.decode(static_cast<std::uint8_t>(code)))
          << code;
  }
}

TEST(ComfortNoiseTest, LevelOfKnownSignals) {
  std::vector<std::int16_t> square(160);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = i % 2 ? 32767 : -32767;
  std::vector<std::int16_t> quietSquare(160);
  for (std::size_t i = 0; i < quietSquare.size(); ++i) quietSquare[i] = i % 2 ? 328 : -328;
  std::vector<std::int16_t> oneClick(160, 0);
  oneClick[80] = 1;
  struct Row {
    const char* what;
    std::vector<std::int16_t> pcm;
    int level;
  } rows[] = {
      {"silence", std::vector<std::int16_t>(160, 0), 127},
      {"nothing", {}, 127},
      {"full-scale square", square, 0},
      {"square at -40 dB", quietSquare, 40},
      {"tone at -13.3 dB", Tone(8000, kToneHz, kToneAmplitude, 160), 13},
      {"one click", oneClick, 112},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(ComfortNoiseLevel(row.pcm.data(), row.pcm.size()), row.level);
    std::vector<std::uint8_t> payload;
    MakeComfortNoisePayload(row.pcm.data(), row.pcm.size(), payload);
    EXPECT_EQ(payload, std::vector<std::uint8_t>{static_cast<std::uint8_t>(row.level)});
  }
}

TEST(ComfortNoiseTest, GeneratorPlaysTheLevelItWasSent) {
  for (int rate : {8000, 16000}) {
    for (std::uint8_t sid :
         {std::uint8_t{20}, std::uint8_t{45}, std::uint8_t{70}, std::uint8_t{0x80 | 30}}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, SID " + std::to_string(sid));
      ComfortNoiseGenerator generator(rate);
      std::vector<std::int16_t> before;
      generator.Generate(160, before);
      EXPECT_EQ(LevelDb(before), -200) << "silence before the first SID";
      ASSERT_TRUE(generator.Update(&sid, 1));
      EXPECT_EQ(generator.Level(), sid & 0x7F);
      std::vector<std::int16_t> noise;
      generator.Generate(static_cast<std::size_t>(rate), noise);
      ASSERT_EQ(noise.size(), static_cast<std::size_t>(rate));
      // Past the one-frame glide the level is the one sent.
      std::size_t glide = static_cast<std::size_t>(generator.FrameSamples());
      EXPECT_NEAR(ComfortNoiseLevel(noise.data() + glide, noise.size() - glide), sid & 0x7F, 1);
      EXPECT_FALSE(generator.Update(nullptr, 0));
      EXPECT_EQ(generator.Level(), sid & 0x7F);
    }
  }
}

}  // namespace
