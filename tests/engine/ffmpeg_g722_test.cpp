// Our G.722 against an independent one, ffmpeg's: each decodes what the
// other encoded at the level it went in. Skipped where ffmpeg is absent.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/audio_codec.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

using namespace engine_test;
using namespace std::chrono_literals;

constexpr int kPcmRate = 16000;
constexpr std::size_t kPayloadBytes = 160;  // 20 ms at 64 kbit/s

// Runs ffmpeg with `arguments`; 127 when it cannot be started, -1 when it
// does not end within 20 s (it is killed and reaped then).
int RunFfmpeg(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(),
                   {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"});
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return 127;
  for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(10ms)) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class FfmpegG722 : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    if (RunFfmpeg({"-version"}) != 0) GTEST_SKIP() << "ffmpeg is not installed";
  }
  std::string Path(const char* name) const { return folder_.File(name); }

  // A second of the -13.3 dBFS test tone at 16 kHz.
  const std::vector<std::int16_t> tone_ = Tone(kPcmRate, kToneHz, kToneAmplitude, kPcmRate);
  const test_support::TempFolder folder_{"standin_g722"};
};

// Expects `decoded` to hold the tone at its level (within 1 dB) and
// frequency, after the first 100 ms in which a codec settles.
void ExpectToneLevel(const std::vector<std::int16_t>& decoded,
                     const std::vector<std::int16_t>& tone) {
  ASSERT_GT(decoded.size(), tone.size() / 2);
  const Pcm settled = Pcm(decoded).subspan(kPcmRate / 10, decoded.size() - kPcmRate / 5);
  EXPECT_NEAR(LevelDb(settled), LevelDb(tone), 1.0);
  EXPECT_NEAR(DominantFrequency(settled, kPcmRate), kToneHz, 25);
}

TEST_F(FfmpegG722, WeDecodeTheirsAtItsLevel) {
  WriteFile(Path("tone.raw"), LittleEndianBytes(tone_));
  ASSERT_EQ(RunFfmpeg({"-f", "s16le", "-ar", "16000", "-ac", "1", "-i", Path("tone.raw"), "-c:a",
                       "g722", "-f", "g722", Path("tone.g722")}),
            0);
  const std::string encoded = FileBytes(Path("tone.g722"));
  ASSERT_EQ(encoded.size(), tone_.size() / 2) << "one byte per two samples";
  std::unique_ptr<standin::AudioDecoder> decoder = standin::CreateDecoder(Codec("G722", 8000));
  ASSERT_NE(decoder, nullptr);
  std::vector<std::int16_t> decoded;
  for (std::size_t at = 0; at + kPayloadBytes <= encoded.size(); at += kPayloadBytes)
    ASSERT_TRUE(decoder->Decode(reinterpret_cast<const std::uint8_t*>(encoded.data() + at),
                                kPayloadBytes, decoded));
  ExpectToneLevel(decoded, tone_);
}

TEST_F(FfmpegG722, TheyDecodeOursAtItsLevel) {
  std::unique_ptr<standin::AudioEncoder> encoder = standin::CreateEncoder(Codec("G722", 8000));
  ASSERT_NE(encoder, nullptr);
  std::vector<std::uint8_t> encoded;
  const auto frame = static_cast<std::size_t>(encoder->FrameSamples());
  for (std::size_t at = 0; at + frame <= tone_.size(); at += frame)
    ASSERT_TRUE(encoder->Encode(tone_.data() + at, encoded));
  WriteFile(Path("tone.g722"), std::string(encoded.begin(), encoded.end()));
  ASSERT_EQ(RunFfmpeg({"-f", "g722", "-i", Path("tone.g722"), "-f", "s16le", "-ar", "16000", "-ac",
                       "1", Path("decoded.raw")}),
            0);
  ExpectToneLevel(Samples(FileBytes(Path("decoded.raw"))), tone_);
}

}  // namespace
