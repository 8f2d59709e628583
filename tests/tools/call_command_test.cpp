// medley call: two handler objects from the entry points calling each other.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/free_port.h"
#include "tests/support/temp_folder.h"
#include "tools/commands.h"

namespace tools {
namespace {

struct CallRun {
  int status;
  std::string out;
  std::string err;
};

CallRun Call(const Arguments& args) {
  std::ostringstream out, err;
  int status = RunCall(args, out, err);
  return {status, out.str(), err.str()};
}

// Writes `samples` of 8 kHz 16-bit mono WAV: a 1 kHz square wave at a
// constant level.
void WriteSquareWav(const std::filesystem::path& path, std::uint32_t samples) {
  const std::uint32_t bytes = samples * 2;
  std::ofstream wav(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
  wav.write("RIFF", 4);
  u32(36 + bytes);
  wav.write("WAVEfmt ", 8);
  for (std::uint32_t v : {16u, 1u | 1u << 16, 8000u, 16000u, 2u | 16u << 16}) u32(v);
  wav.write("data", 4);
  u32(bytes);
  for (std::uint32_t i = 0; i < samples; ++i) u16(i % 8 < 4 ? 8000 : 0xE0C0);
}

// The levels an end heard in the once-a-second lines: "caller" or "callee".
std::vector<int> HeardLevels(const std::string& output, const std::string& end) {
  std::vector<int> levels;
  const std::string key = end + " hears";
  for (size_t at = output.find(key); at != std::string::npos; at = output.find(key, at + 1))
    levels.push_back(std::atoi(output.c_str() + at + key.size()));
  return levels;
}

// Whether each of `texts` appears in `output`, in this order.
bool AppearInOrder(const std::string& output, const std::vector<std::string>& texts) {
  size_t at = 0;
  for (const std::string& text : texts) {
    at = output.find(text, at);
    if (at == std::string::npos) return false;
    at += text.size();
  }
  return true;
}

// "--port" and "--callee-port" with free loopback ports; both stay empty
// when none were found, which the call then refuses.
struct Ports {
  Ports() {
    std::vector<int> found = test_support::FreeRtpPorts(2);
    if (found.size() == 2) caller = std::to_string(found[0]), callee = std::to_string(found[1]);
  }
  Arguments Args() const { return {"--port", caller, "--callee-port", callee}; }
  std::string caller, callee;
};

Arguments Join(Arguments args, const Arguments& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(CallCommand, RefusesArgumentsItCannotUse) {
  struct Row {
    Arguments args;
    const char* error;
  };
  const Row rows[] = {
      {{"--port", "0"}, "--port needs a number from 1 to 65535, not '0'"},
      {{"--callee-port", "65536"}, "--callee-port needs a number from 1 to 65535, not '65536'"},
      {{"--prefer"}, "option --prefer needs a value"},
      {{"somewhere"}, "unexpected argument 'somewhere'"},
      {{"--seconds", "0"}, "--seconds needs a number from 1 to 600, not '0'"},
  };
  for (const Row& row : rows) {
    CallRun run = Call(row.args);
    EXPECT_EQ(run.status, 2) << row.error;
    EXPECT_NE(run.err.find(row.error), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(CallCommand, PrintsTheOfferTheAnswerAndEveryStep) {
  const Ports ports;
  CallRun run = Call(Join(
      {"--prefer", "PCMU,PCMA,telephone-event", "--callee-prefer", "PCMA,PCMU,telephone-event"},
      ports.Args()));
  EXPECT_TRUE(AppearInOrder(
      run.out, {"caller Init", "S_OK", "callee Init", "S_OK", "caller ReserveChannel", "S_OK",
                "caller AddOfferMediaDescription", "S_OK", "-- offer (caller to callee)",
                "m=audio " + ports.caller + " RTP/AVP 0 8 101\r\n", "callee AnyCommonFormat",
                "S_OK", "callee ReserveChannel", "S_OK", "callee AddAnswerMediaDescription", "S_OK",
                "-- answer (callee to caller)", "m=audio " + ports.callee + " RTP/AVP 8 0 101\r\n",
                "callee SetReceiveParameters"}))
      << run.out;
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(AppearInOrder(
      run.out, {"callee StartSending", "S_OK", "caller StartSending", "S_OK", "the call is up",
                "caller StopSending", "S_OK", "caller ReleaseChannel", "S_OK", "callee StopSending",
                "S_OK", "callee ReleaseChannel", "S_OK"}))
      << run.out;
  EXPECT_EQ(run.out.find("0x"), std::string::npos) << "every step succeeded";
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(CallCommand, ACalleeWithNothingInCommonTurnsTheLineDown) {
  CallRun run = Call(Join({"--prefer", "PCMU", "--callee-prefer", "PCMA"}, Ports().Args()));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(
      AppearInOrder(run.out, {"m=audio 0 RTP/AVP 0\r\n", "turned the line down",
                              "caller ReleaseChannel", "S_OK", "callee ReleaseChannel", "S_OK"}))
      << run.out;
  EXPECT_EQ(run.out.find("SetReceiveParameters"), std::string::npos);
  EXPECT_TRUE(run.err.empty()) << run.err;
}

// A caller that sends a WAV file and records its conversation: the recording
// is a WAV file holding about as much audio as was sent.
TEST(CallCommand, PlaysAFileIntoTheCallAndRecordsTheConversation) {
  test_support::TempFolder folder("medley-call-test");
  ASSERT_FALSE(folder.Path().empty());
  const std::filesystem::path dir = folder.Path();
  std::filesystem::path play = dir / "play.wav", record = dir / "record.wav";
  WriteSquareWav(play, 4000);  // half a second
  CallRun run = Call(Join(
      {"--prefer", "PCMU", "--play", play.string(), "--record", record.string()}, Ports().Args()));
  EXPECT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_TRUE(AppearInOrder(
      run.out, {"caller StartSendAudioStream", "S_OK", "caller StartRecordAudioConversation",
                "S_OK", "caller StopRecordAudioConversation", "S_OK", "caller StopSendAudioStream",
                "S_OK", "caller StopSending"}))
      << run.out;
  ASSERT_TRUE(std::filesystem::exists(record));
  // At least 0.4 s of 8 kHz 16-bit audio after the 44-byte header.
  EXPECT_GT(std::filesystem::file_size(record), 44u + 6400u);

  run = Call(Join({"--play", (dir / "missing.wav").string()}, Ports().Args()));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
}

// Each end sends a file for two seconds; the once-a-second lines show each
// end hearing the other.
TEST(CallCommand, EachEndHearsWhatTheOtherSends) {
  test_support::TempFolder folder("medley-call-levels-test");
  ASSERT_FALSE(folder.Path().empty());
  const std::filesystem::path dir = folder.Path();
  WriteSquareWav(dir / "caller.wav", 16000);
  WriteSquareWav(dir / "callee.wav", 16000);
  CallRun run = Call(Join({"--prefer", "PCMU", "--play", (dir / "caller.wav").string(),
                           "--callee-play", (dir / "callee.wav").string()},
                          Ports().Args()));
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_TRUE(
      AppearInOrder(run.out, {"caller StartSendAudioStream", "callee StartSendAudioStream", "1s",
                              "2s", "callee StopSendAudioStream", "caller StopSendAudioStream"}))
      << run.out;
  for (const char* end : {"caller", "callee"}) {
    std::vector<int> levels = HeardLevels(run.out, end);
    ASSERT_FALSE(levels.empty()) << run.out;
    EXPECT_GT(levels.front(), 0) << end << " heard nothing in the first second\n" << run.out;
  }
}

}  // namespace
}  // namespace tools
