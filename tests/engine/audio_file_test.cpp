// Audio files and streams: each file kind written and read back, WAV in
// its variants, conversation recordings, the G.711 law guess, resampling
// and the refusals.
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "engine/gipsve_file.h"
#include "engine/standin/audio_file.h"
#include "engine/standin/codecs/g711_tables.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/files/compressed_file.h"
#include "engine/standin/files/resampler.h"
#include "engine/standin/files/wav_file.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace standin;
using namespace engine_test;

std::string WriteAudio(const EngineCodecRecord* codec, int rate,
                       const std::vector<std::int16_t>& pcm, int* error) {
  MemoryOutStream out;
  std::unique_ptr<FileAudioWriter> writer = OpenFileWriter(&out, codec, rate, error);
  if (!writer) return {};
  std::size_t frame = static_cast<std::size_t>(rate / 50);
  for (std::size_t at = 0; at < pcm.size(); at += frame)
    EXPECT_TRUE(
        writer->WriteFrame(pcm.data() + at, static_cast<int>(std::min(frame, pcm.size() - at))));
  EXPECT_TRUE(writer->Finish());
  return out.written;
}

std::vector<std::int16_t> ReadAudio(const std::string& bytes, int kind,
                                    const EngineCodecRecord* codec, int rate, int* error) {
  MemoryInStream in(bytes);
  std::unique_ptr<FileAudioReader> reader = OpenFileReader(&in, kind, codec, rate, error);
  std::vector<std::int16_t> pcm;
  if (!reader) return pcm;
  std::vector<std::int16_t> frame(static_cast<std::size_t>(rate / 50));
  while (reader->ReadFrame(frame.data(), static_cast<int>(frame.size())))
    pcm.insert(pcm.end(), frame.begin(), frame.end());
  return pcm;
}

TEST(AudioFileTest, EachKindRoundTripsATone) {
  struct Row {
    const char* codec;  // null: kind 0
    int writeRate;
    int readRate;
    bool readerGetsCodec;
    const char* header;
    std::size_t bytesPerSecond;
    double toleranceDb;
  } rows[] = {
      {nullptr, 16000, 16000, false, "", 32000, 0.1},
      {nullptr, 8000, 16000, false, "", 32000, 0.3},
      {"PCMU", 8000, 16000, false, "", 8000, 0.5},
      {"PCMA", 16000, 8000, false, "", 8000, 0.5},
      {"PCMA", 8000, 8000, true, "", 8000, 0.5},
      {"G722", 16000, 16000, true, "", 8000, 1.5},
      {"G729", 8000, 8000, true, "", 1000, 3},
      {"GSM", 8000, 8000, true, "", 1650, 3},
      {"AMR", 8000, 8000, false, "#!AMR\n", 1600, 3},
      {"AMRWB", 16000, 16000, false, "#!AMR-WB\n", 3050, 3},
      {"IPCMWB", 16000, 16000, true, "", 32000, 0.1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.codec ? row.codec : "PCM") + " written at " +
                 std::to_string(row.writeRate) + ", read at " + std::to_string(row.readRate));
    EngineCodecRecord codec = Codec(row.codec ? row.codec : "", 0);
    int error = -1;
    const std::vector<std::int16_t> tone =
        Tone(row.writeRate, kToneHz, kToneAmplitude, static_cast<std::size_t>(row.writeRate));
    std::string file = WriteAudio(row.codec ? &codec : nullptr, row.writeRate, tone, &error);
    EXPECT_EQ(error, kNoError);
    std::string header(row.header);
    EXPECT_EQ(file.substr(0, header.size()), header);
    EXPECT_NEAR(static_cast<double>(file.size() - header.size()),
                static_cast<double>(row.bytesPerSecond), row.bytesPerSecond / 50.0 + 1);
    int kind = row.codec ? kGIPSVEFileCompressed : kGIPSVEFilePcm;
    std::vector<std::int16_t> pcm =
        ReadAudio(file, kind, row.readerGetsCodec ? &codec : nullptr, row.readRate, &error);
    EXPECT_EQ(error, kNoError);
    ExpectTone(pcm, row.readRate, 1.0, row.toleranceDb);
  }
}

TEST(AudioFileTest, WavVariantsReadWithBothReaders) {
  auto half = [](int rate) { return Tone(rate, kToneHz, kToneAmplitude, rate / 2); };
  struct Row {
    const char* what;
    std::string file;
  } rows[] = {
      {"mono 16-bit 8 kHz", Wav(1, 8000, 16, half(8000))},
      {"stereo 16-bit 44.1 kHz", Wav(2, 44100, 16, half(44100))},
      {"mono 8-bit 16 kHz", Wav(1, 16000, 8, half(16000))},
      {"extensible mono 16-bit", Wav(1, 16000, 16, half(16000), true)},
      {"a LIST chunk before the data", Wav(1, 16000, 16, half(16000), false, true)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    int error = -1;
    ExpectTone(ReadAudio(row.file, kGIPSVEFileWav, nullptr, 8000, &error), 8000, 0.5, 0.6);
    EXPECT_EQ(error, kNoError);

    MemoryInStream in(row.file);
    std::unique_ptr<PcmSource> builtIn = OpenBuiltInWavSource(&in, &error);
    ASSERT_NE(builtIn, nullptr);
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(builtIn->SampleRate()));
    pcm.resize(builtIn->Read(pcm.data(), pcm.size()));
    EXPECT_EQ(builtIn->Read(pcm.data(), 1), 0u);
    ExpectTone(pcm, builtIn->SampleRate(), 0.5, 0.6);
  }
}

TEST(AudioFileTest, UnreadableWavIsRefused) {
  struct Row {
    const char* what;
    std::string file;
    bool libraryReads;  // the library knows more formats than the built-in reader
  } rows[] = {
      {"empty", "", false},
      {"not RIFF", std::string(400, 'x'), false},
      {"no data chunk", Wav(1, 8000, 16, {}).substr(0, 36), false},
      {"24-bit samples", Wav(1, 8000, 24, {}), true},
      {"float samples", Wav(1, 8000, 32, {}, false, false, 3), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    int error = kNoError;
    MemoryInStream builtInStream(row.file);
    EXPECT_EQ(OpenBuiltInWavSource(&builtInStream, &error), nullptr);
    EXPECT_EQ(error, kBadFileData);
    error = kNoError;
    MemoryInStream in(row.file);
    std::unique_ptr<FileAudioReader> reader =
        OpenFileReader(&in, kGIPSVEFileWav, nullptr, 8000, &error);
    EXPECT_EQ(reader != nullptr, row.libraryReads);
    EXPECT_EQ(error, row.libraryReads ? kNoError : kBadFileData);
  }
}

// A canonical 44-byte-header WAV of `samples` mono 16-bit samples at 8 kHz
// with one header field overwritten (`bytes` wide at `offset`).
std::string PatchedWav(std::size_t samples, int offset, std::uint32_t value, int bytes) {
  std::string file = Wav(1, 8000, 16, std::vector<std::int16_t>(samples, 100));
  for (int i = 0; i < bytes; ++i) file[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return file;
}

// Outside what the engine plays, or not what the header says: refused when
// the file is opened, by both readers and before any audio is read.
TEST(AudioFileTest, WavHeadersOutsideWhatTheEnginePlaysAreRefusedAtOpen) {
  constexpr int kTag = 20, kChannels = 22, kRate = 24, kBlockAlign = 32, kBits = 34, kData = 40;
  struct Row {
    const char* what;
    std::string file;
  } rows[] = {
      {"2,000,000,000 Hz", PatchedWav(800, kRate, 2000000000u, 4)},
      {"7999 Hz", PatchedWav(800, kRate, 7999, 4)},
      {"192001 Hz", PatchedWav(800, kRate, 192001, 4)},
      {"3 channels", PatchedWav(800, kChannels, 3, 2)},
      {"no channels", PatchedWav(800, kChannels, 0, 2)},
      {"data length beyond the file", PatchedWav(800, kData, 1000000000u, 4)},
      {"data length one sample beyond", PatchedWav(800, kData, 1602, 4)},
      {"format tag 0", PatchedWav(800, kTag, 0, 2)},
      {"12-bit PCM", PatchedWav(800, kBits, 12, 2)},
      {"block size 0", PatchedWav(800, kBlockAlign, 0, 2)},
      {"block size not the sample size", PatchedWav(800, kBlockAlign, 3, 2)},
      {"a 4 GB chunk before the data",
       "RIFF\xff\xff\xff\xffWAVEJUNK\xf0\xff\xff\xff" + std::string(1 << 16, '\0')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (auto open : {OpenWavSource, OpenBuiltInWavSource}) {
      MemoryInStream in(row.file);
      int error = kNoError;
      EXPECT_EQ(open(&in, &error), nullptr);
      EXPECT_EQ(error, kBadFileData);
    }
  }
  // At the edges of the range, and with a length that goes to the end of the stream.
  for (const std::string& file : {PatchedWav(800, kRate, 8000, 4), PatchedWav(800, kData, 0, 4),
                                  Wav(2, 192000, 16, std::vector<std::int16_t>(800, 100))}) {
    MemoryInStream in(file);
    int error = kNoError;
    EXPECT_NE(OpenFileReader(&in, kGIPSVEFileWav, nullptr, 16000, &error), nullptr);
  }
  // Through the engine: the start fails with the engine's error.
  Engine engine;
  const int channel = engine.base->CreateChannel();
  MemoryInStream in(PatchedWav(800, kRate, 2000000000u, 4));
  EXPECT_EQ(engine.file->StartPlayingFileLocally(channel, &in, kGIPSVEFileWav, 1.0f, 0, 0), -1);
  EXPECT_EQ(engine.base->LastError(), kBadFileData);
}

// Playing a file takes from its stream only a little more than what has been
// played, however long the file says it is.
TEST(AudioFileTest, FilesAreReadAsTheyPlay) {
  const std::string wavHeader = PatchedWav(0, 40, 0x7FFFFFF0u, 4);
  const std::string stereoHeader = Wav(2, 48000, 16, {}).substr(0, 40) + "\xff\xff\xff\xff";
  const std::string amr122(32, '\x3C');  // mode 7 storage frames of constant bits
  struct Row {
    const char* what;
    int kind;
    std::string head;
    std::string unit;
    double bytesPerSecond;
  } rows[] = {
      {"WAV of 2 GB", kGIPSVEFileWav, wavHeader, "\x10\x20", 16000},
      {"open-ended stereo 48 kHz WAV", kGIPSVEFileWav, stereoHeader, "\x10\x20", 192000},
      {"raw PCM", kGIPSVEFilePcm, "", "\x10\x20", 32000},
      {"AMR", kGIPSVEFileCompressed, "#!AMR\n", amr122, 1600},
      {"G.711", kGIPSVEFileCompressed, "", "\x55\xd5", 8000},
  };
  constexpr int kFrames = 500;  // 10 s
  constexpr double kSlackBytes = 64 * 1024;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EndlessInStream in(row.head, row.unit);
    int error = kNoError;
    std::unique_ptr<FileAudioReader> reader = OpenFileReader(&in, row.kind, nullptr, 16000, &error);
    ASSERT_NE(reader, nullptr);
    std::int16_t frame[320];
    for (int i = 0; i < kFrames; ++i) ASSERT_TRUE(reader->ReadFrame(frame, 320));
    const double played = row.bytesPerSecond * kFrames / 50;
    EXPECT_GE(static_cast<double>(in.delivered), played);
    EXPECT_LE(static_cast<double>(in.delivered), played + kSlackBytes);
  }
}

TEST(AudioFileTest, OpeningRefusals) {
  EngineCodecRecord cn = Codec("CN", 8000);
  EngineCodecRecord unterminated = Codec("PCMU", 8000);
  std::memset(unterminated.name, 'x', sizeof unterminated.name);
  struct Row {
    const char* what;
    std::string data;
    int kind;
    const EngineCodecRecord* codec;
    int rate;
    int error;
  } rows[] = {
      {"iLBC data", "#!iLBC30\n0123456789", kGIPSVEFileCompressed, nullptr, 8000,
       kUnsupportedCodec},
      {"multichannel AMR", "#!AMR_MC1.0\n\x00\x00\x00\x01", kGIPSVEFileCompressed, nullptr, 8000,
       kBadFileData},
      {"headerless data of a non-audio codec", "abcd", kGIPSVEFileCompressed, &cn, 8000,
       kUnsupportedCodec},
      {"unterminated codec name", "abcd", kGIPSVEFileCompressed, &unterminated, 8000,
       kInvalidArgument},
      {"kind 3", "abcd", 3, nullptr, 8000, kInvalidArgument},
      {"rate 0", "abcd", kGIPSVEFilePcm, nullptr, 0, kInvalidArgument},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemoryInStream in(row.data);
    int error = kNoError;
    EXPECT_EQ(OpenFileReader(&in, row.kind, row.codec, row.rate, &error), nullptr);
    EXPECT_EQ(error, row.error);
  }
  int error = kNoError;
  EXPECT_EQ(OpenFileReader(nullptr, kGIPSVEFilePcm, nullptr, 8000, &error), nullptr);
  EXPECT_EQ(error, kInvalidArgument);

  MemoryOutStream out;
  EngineCodecRecord ilbc = Codec("iLBC", 8000);
  EXPECT_EQ(OpenFileWriter(&out, &ilbc, 8000, &error), nullptr);
  EXPECT_EQ(error, kUnsupportedCodec);
  EXPECT_EQ(OpenFileWriter(&out, nullptr, 7, &error), nullptr);
  EXPECT_EQ(error, kInvalidArgument);
  EXPECT_TRUE(out.written.empty());
}

TEST(AudioFileTest, RefusedWritesAreReported) {
  std::vector<std::int16_t> frame = Tone(8000, kToneHz, kToneAmplitude, 160);
  MemoryOutStream out;
  out.refuse = true;
  int error = kNoError;
  EngineCodecRecord amr = Codec("AMR", 8000, 12200);
  EXPECT_EQ(OpenFileWriter(&out, &amr, 8000, &error), nullptr) << "the magic line is refused";
  EXPECT_EQ(error, kStreamWriteFailed);
  for (const char* name : {"PCMU", "GSM", ""}) {
    SCOPED_TRACE(name);
    EngineCodecRecord codec = Codec(name, 8000);
    std::unique_ptr<FileAudioWriter> writer =
        OpenFileWriter(&out, *name ? &codec : nullptr, 8000, &error);
    ASSERT_NE(writer, nullptr);
    writer->WriteFrame(frame.data(), 160);
    EXPECT_FALSE(writer->WriteFrame(frame.data(), 160));
    EXPECT_FALSE(writer->Finish());
    EXPECT_FALSE(writer->WriteFrame(frame.data(), 160)) << "nothing after Finish";
  }
}

// The engine may drop a writer after the caller's stream is gone.
TEST(AudioFileTest, WriterDroppedWithoutFinishWritesNothingMore) {
  std::vector<std::int16_t> partial = Tone(8000, kToneHz, kToneAmplitude, 100);
  EngineCodecRecord pcmu = Codec("PCMU", 8000);
  MemoryOutStream out;
  int error = -1;
  std::unique_ptr<FileAudioWriter> writer = OpenFileWriter(&out, &pcmu, 16000, &error);
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(writer->WriteFrame(partial.data(), 100));
  writer.reset();
  EXPECT_TRUE(out.written.empty());
}

TEST(AudioFileTest, LastFrameIsPaddedAndThenTheEndIsReported) {
  std::string hundredSamples = LittleEndianBytes(std::vector<std::int16_t>(100, 1234));
  MemoryInStream in(hundredSamples);
  int error = -1;
  std::unique_ptr<FileAudioReader> reader =
      OpenFileReader(&in, kGIPSVEFilePcm, nullptr, 16000, &error);
  ASSERT_NE(reader, nullptr);
  std::vector<std::int16_t> frame(320, -1);
  EXPECT_TRUE(reader->ReadFrame(frame.data(), 320));
  EXPECT_EQ(frame[99], 1234);
  EXPECT_EQ(frame[100], 0);
  EXPECT_EQ(frame[319], 0);
  EXPECT_FALSE(reader->ReadFrame(frame.data(), 320));
  EXPECT_EQ(frame[0], 0);
}

TEST(AudioFileTest, RecordingFiles) {
  std::vector<std::int16_t> tone = Tone(16000, kToneHz, kToneAmplitude, 16000);
  EngineCodecRecord l16 = Codec("L16", 8000);
  EngineCodecRecord noName = Codec("", 0);
  EngineCodecRecord amr = Codec("amr", 8000, 12200);
  struct Row {
    const char* file;
    const EngineCodecRecord* codec;
    int kind;
    const char* header;
    int wavRate;  // 0: not WAV
  } rows[] = {
      {"l16.wav", &l16, kGIPSVEFileWav, "RIFF", 8000},
      {"default.wav", &noName, kGIPSVEFileWav, "RIFF", 16000},
      {"null.wav", nullptr, kGIPSVEFileWav, "RIFF", 16000},
      {"call.amr", &amr, kGIPSVEFileCompressed, "#!AMR\n", 0},
  };
  const test_support::TempFolder folder("standin_recording");
  ASSERT_FALSE(folder.Path().empty());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    std::string path = folder.File(row.file);
    int error = -1;
    std::unique_ptr<FileAudioWriter> writer = OpenRecordingFile(path, row.codec, 16000, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(error, kNoError);
    for (std::size_t at = 0; at < tone.size(); at += 320)
      ASSERT_TRUE(writer->WriteFrame(tone.data() + at, 320));
    EXPECT_TRUE(writer->Finish());
    std::string bytes = FileBytes(path);
    EXPECT_EQ(bytes.rfind(row.header, 0), 0u);
    if (row.wavRate) {
      ASSERT_GE(bytes.size(), 44u);
      EXPECT_EQ(static_cast<std::uint8_t>(bytes[24]) | (static_cast<std::uint8_t>(bytes[25]) << 8),
                row.wavRate);
      EXPECT_EQ(bytes[22], 1) << "mono";
      EXPECT_EQ(bytes[34], 16) << "16-bit";
    }
    error = -1;
    ExpectTone(ReadAudio(bytes, row.kind, nullptr, 8000, &error), 8000, 1.0, 3);
    EXPECT_EQ(error, kNoError);
  }

  int error = kNoError;
  EngineCodecRecord ilbc = Codec("iLBC", 8000);
  std::string path = folder.File("ilbc.rec");
  EXPECT_EQ(OpenRecordingFile(path, &ilbc, 16000, &error), nullptr);
  EXPECT_EQ(error, kUnsupportedCodec);
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr) << "no file is left behind";
  EXPECT_EQ(OpenRecordingFile("/nonexistent-folder/x.wav", nullptr, 16000, &error), nullptr);
  EXPECT_EQ(error, kFileOpenFailed);
  EXPECT_EQ(OpenRecordingFile("", nullptr, 16000, &error), nullptr);
  EXPECT_EQ(error, kInvalidArgument);
}

TEST(AudioFileTest, BuiltInWavFileReadsBackThroughTheLibrary) {
  const test_support::TempFolder folder("standin_builtin_wav");
  ASSERT_FALSE(folder.Path().empty());
  std::string path = folder.File("builtin.wav");
  int error = kNoError;
  std::unique_ptr<PcmSink> sink = CreateBuiltInWavFile(path, 8000, &error);
  ASSERT_NE(sink, nullptr);
  std::vector<std::int16_t> tone = Tone(8000, kToneHz, kToneAmplitude, 8000);
  EXPECT_TRUE(sink->Write(tone.data(), tone.size()));
  EXPECT_TRUE(sink->Finish());
  std::string bytes = FileBytes(path);
  EXPECT_EQ(bytes.size(), 44u + 16000u);
  EXPECT_EQ(bytes.substr(36, 4), "data");
  MemoryInStream in(bytes);
  std::unique_ptr<PcmSource> source = OpenWavSource(&in, &error);
  ASSERT_NE(source, nullptr);
  std::vector<std::int16_t> pcm(10000);
  pcm.resize(source->Read(pcm.data(), pcm.size()));
  EXPECT_EQ(pcm, tone);
  EXPECT_EQ(CreateBuiltInWavFile("/nonexistent-folder/x.wav", 8000, &error), nullptr);
  EXPECT_EQ(error, kFileOpenFailed);
}

TEST(AudioFileTest, G711LawGuess) {
  std::vector<std::int16_t> tone = Tone(8000, kToneHz, kToneAmplitude, 1600);
  std::vector<std::int16_t> quiet = Tone(8000, 300, 40, 1600);
  auto encode = [](const std::vector<std::int16_t>& pcm, std::uint8_t (*law)(std::int16_t)) {
    std::vector<std::uint8_t> bytes;
    for (std::int16_t s : pcm) bytes.push_back(law(s));
    return bytes;
  };
  auto alternate = [](std::uint8_t a, std::uint8_t b) {
    std::vector<std::uint8_t> bytes(800);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 2 ? a : b;
    return bytes;
  };
  struct Row {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool aLaw;
  } rows[] = {
      {"mu-law tone", encode(tone, BuiltInMuLawEncode), false},
      {"A-law tone", encode(tone, BuiltInALawEncode), true},
      {"quiet mu-law tone", encode(quiet, BuiltInMuLawEncode), false},
      {"quiet A-law tone", encode(quiet, BuiltInALawEncode), true},
      {"mu-law silence", std::vector<std::uint8_t>(800, 0xFF), false},
      {"A-law silence", std::vector<std::uint8_t>(800, 0xD5), true},
      {"mu-law noise floor", alternate(0xFF, 0x7F), false},
      {"A-law noise floor", alternate(0xD5, 0x55), true},
      {"nothing", {}, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(LooksLikeALaw(row.bytes.data(), row.bytes.size()), row.aLaw) << row.what;
}

TEST(AudioFileTest, ResamplersKeepToneAndLength) {
  struct Row {
    int in;
    int out;
  } rows[] = {{16000, 8000}, {8000, 16000}, {44100, 8000}, {8000, 48000}, {16000, 16000}};
  for (const Row& row : rows) {
    for (bool linear : {false, true}) {
      SCOPED_TRACE(std::to_string(row.in) + " to " + std::to_string(row.out) +
                   (linear ? " linear" : ""));
      std::unique_ptr<Resampler> resampler =
          linear ? CreateLinearResampler(row.in, row.out) : CreateResampler(row.in, row.out);
      ASSERT_NE(resampler, nullptr);
      std::vector<std::int16_t> tone =
          Tone(row.in, kToneHz, kToneAmplitude, static_cast<std::size_t>(row.in));
      std::vector<std::int16_t> out;
      for (std::size_t at = 0; at < tone.size(); at += 441)
        resampler->Process(tone.data() + at, std::min<std::size_t>(441, tone.size() - at), out);
      resampler->Flush(out);
      EXPECT_NEAR(static_cast<double>(out.size()), row.out, 8);
      ExpectTone(out, row.out, 1.0, 0.5);
      // Aligned: no leading delay, so the tone's first peak stays in place.
      std::size_t quarterPeriod = static_cast<std::size_t>(row.out / 4000);
      EXPECT_GT(out[quarterPeriod], 0.8 * kToneAmplitude);
    }
  }
  EXPECT_EQ(CreateResampler(0, 8000), nullptr);
  EXPECT_EQ(CreateLinearResampler(8000, -1), nullptr);
}

}  // namespace
