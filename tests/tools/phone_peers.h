// What the phone tests need around `medley phone`: child processes with
// their output in files, free loopback ports, a folder of the test's own,
// WAV tones and their analysis, and baresip under ctrl_tcp control.
// Every wait is bounded; every child is ended and reaped with its object.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/free_port.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace phone_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A fresh temporary folder, removed with the object.
using test_support::TempFolder;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using test_support::FreePort;

// The first RTP port a phone of a test tries ("--rtp-port"): phones started
// at the same time by other tests would otherwise all begin at the same
// default and race for it between their offer and their listen.
inline std::string FreeRtpPort() { return std::to_string(test_support::FreeRtpPort()); }

// A child process with standard input from /dev/null and its output in
// `outFile` (standard error in outFile + ".err"), in a process group of its
// own so that a peer's helper processes (kamailio's) go with it.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::string& outFile) : out_(outFile) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, (outFile + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    if (posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);  // the whole group, stragglers included
    if (!exited_) ::waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  bool Running() const { return pid_ > 0 && !exited_; }
  std::string Output() const { return ReadFile(out_); }
  std::string Errors() const { return ReadFile(out_ + ".err"); }

  // Waits until the output holds `text` (after position `from`); false when
  // the child ended or the time ran out first.
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout = 5s, size_t from = 0) {
    for (auto end = Clock::now() + timeout; Clock::now() < end; std::this_thread::sleep_for(10ms)) {
      const std::string output = Output();
      if (output.size() > from && output.find(text, from) != std::string::npos) return true;
      if (Reaped()) return Output().find(text, from) != std::string::npos;
    }
    return false;
  }
  // Waits for the child to end; its exit status, or -1 when it did not end
  // in time (it is then killed) or died of a signal.
  int Wait(std::chrono::milliseconds timeout) {
    for (auto end = Clock::now() + timeout; Clock::now() < end; std::this_thread::sleep_for(10ms)) {
      if (Reaped()) return status_;
    }
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    exited_ = true;
    return -1;
  }
  // SIGTERM, then Wait.
  int Stop(std::chrono::milliseconds timeout = 5s) {
    if (Running()) ::kill(pid_, SIGTERM);
    return Wait(timeout);
  }

 private:
  bool Reaped() {
    if (exited_) return true;
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_) return pid_ <= 0;
    exited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
  }

  std::string out_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = -1;
};

// 16-bit mono WAV of a sine tone at half of full scale.
inline void WriteTone(const std::string& path, int rate, double frequency, double seconds) {
  const uint32_t samples = static_cast<uint32_t>(rate * seconds);
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + samples * 2);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(samples * 2);
  for (uint32_t i = 0; i < samples; ++i)
    u16(static_cast<uint16_t>(
        static_cast<int16_t>(16384 * std::sin(2 * M_PI * frequency * i / rate))));
}

struct Wav {
  int rate = 0;
  std::vector<int16_t> samples;
};

// The samples of a 16-bit mono WAV file; empty when it is not one.
inline Wav ReadWav(const std::string& path) {
  const std::string bytes = ReadFile(path);
  Wav wav;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) return wav;
  auto u32 = [&bytes](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    size_t size = u32(at + 4);
    if (id == "fmt ") wav.rate = static_cast<int>(u32(at + 12));
    if (id == "data") {
      size = std::min(size, bytes.size() - at - 8);  // a header not yet finished
      wav.samples.resize(size / 2);
      std::memcpy(wav.samples.data(), bytes.data() + at + 8, wav.samples.size() * 2);
      break;
    }
    at += 8 + size + (size & 1);
  }
  return wav;
}

// The amplitude of `frequency` in samples [first, first + count) (Goertzel).
inline double Amplitude(const Wav& wav, size_t first, size_t count, double frequency) {
  if (first >= wav.samples.size() || wav.rate == 0) return 0;
  count = std::min(count, wav.samples.size() - first);
  const double k = 2 * std::cos(2 * M_PI * frequency / wav.rate);
  double s1 = 0, s2 = 0;
  for (size_t i = first; i < first + count; ++i) {
    const double s0 = wav.samples[i] + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / count;
}

// The first sample of the half second (in quarter-second steps) where
// `frequency` is loudest.
inline size_t LoudestHalfSecond(const Wav& wav, double frequency) {
  size_t best = 0;
  double loudest = -1;
  for (size_t at = 0; at + wav.rate / 2 <= wav.samples.size(); at += wav.rate / 4) {
    const double amplitude = Amplitude(wav, at, wav.rate / 2, frequency);
    if (amplitude > loudest) {
      loudest = amplitude;
      best = at;
    }
  }
  return best;
}

// The strongest frequency from 100 to 3500 Hz in 10 Hz steps.
inline double DominantFrequency(const Wav& wav, size_t first, size_t count) {
  double best = 0, bestAmplitude = -1;
  for (double f = 100; f <= 3500; f += 10) {
    const double amplitude = Amplitude(wav, first, count, f);
    if (amplitude > bestAmplitude) {
      bestAmplitude = amplitude;
      best = f;
    }
  }
  return best;
}

// baresip with a configuration of the test's own: SIP on a free loopback
// port, file audio source, a null ALSA player, the decoded and encoded
// audio dumped into the folder, and ctrl_tcp for commands.
class Baresip {
 public:
  // `codec` as baresip names it ("PCMU/8000/1"); `source` the WAV it sends.
  Baresip(const TempFolder& folder, const std::string& codec, const std::string& source,
          bool autoAnswer = true)
      : folder_(folder), sipPort_(FreePort()), controlPort_(FreePort(SOCK_STREAM)) {
    const int rtp = FreePort();
    std::filesystem::create_directories(folder.File("baresip"));
    std::ofstream config(folder.File("baresip/config"));
    config << "sip_listen 127.0.0.1:" << sipPort_ << "\n"
           << "net_interface 127.0.0.1\n"
           << "audio_player alsa,null\naudio_alert alsa,null\n"
           << "audio_source aufile," << source << "\n"
           << "rtp_ports " << rtp << "-" << rtp + 40 << "\n"
           << "module_path /usr/lib/baresip/modules\n"
           << "module g711.so\nmodule g722.so\nmodule aufile.so\nmodule alsa.so\n"
           << "module sndfile.so\nmodule ctrl_tcp.so\n"
           << "ctrl_tcp_listen 127.0.0.1:" << controlPort_ << "\n"
           << "snd_path " << folder.File("baresip") << "\n"
           << "module_app account.so\nmodule_app menu.so\n";
    std::ofstream accounts(folder.File("baresip/accounts"));
    accounts << "<sip:bob@127.0.0.1>;regint=0;answermode=" << (autoAnswer ? "auto" : "manual")
             << ";audio_codecs=" << codec << "\n";
    accounts.close();
    config.close();
    child_ = std::make_unique<Child>(
        std::vector<std::string>{"baresip", "-v", "-f", folder.File("baresip")},
        folder.File("baresip.out"));
  }
  ~Baresip() {
    if (control_ >= 0) ::close(control_);
    if (child_ && child_->Running()) {
      Command("quit");
      child_->Stop(3s);
    }
  }
  static bool Installed() { return std::system("command -v baresip >/dev/null 2>&1") == 0; }

  bool Ready() { return child_->Started() && child_->WaitFor("baresip is ready", 5s); }
  std::string Uri() const { return "sip:bob@127.0.0.1:" + std::to_string(sipPort_); }
  Child& Process() { return *child_; }

  // Sends a ctrl_tcp command ("dial", "hold", "resume", "hangup", "quit").
  bool Command(const std::string& command, const std::string& params = "") {
    if (control_ < 0) {
      for (auto end = Clock::now() + 3s; control_ < 0 && Clock::now() < end;
           std::this_thread::sleep_for(20ms)) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(controlPort_));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
          control_ = fd;
        else
          ::close(fd);
      }
      if (control_ < 0) return false;
    }
    std::string json = "{\"command\":\"" + command + "\",\"token\":\"t\"";
    if (!params.empty()) json += ",\"params\":\"" + params + "\"";
    json += "}";
    const std::string netstring = std::to_string(json.size()) + ":" + json + ",";
    return ::send(control_, netstring.data(), netstring.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(netstring.size());
  }

  // The audio baresip decoded ("dec") or encoded ("enc") in its last call.
  Wav Dump(const std::string& kind) const {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.File("baresip")))
      if (entry.path().string().ends_with("-" + kind + ".wav")) found = entry.path();
    return found.empty() ? Wav{} : ReadWav(found);
  }

 private:
  const TempFolder& folder_;
  int sipPort_;
  int controlPort_;
  int control_ = -1;
  std::unique_ptr<Child> child_;
};

// A UDP socket speaking SIP to the user agent at `port`, calling `user`.
class RawSip {
 public:
  explicit RawSip(int port, std::string user = "alice") : port_(port), user_(std::move(user)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    local_ = ntohs(address.sin_port);
  }
  ~RawSip() { ::close(fd_); }

  void Send(const std::string& text) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port_));
    ::sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  // The next datagram, or "" after `timeout`.
  std::string Receive(std::chrono::milliseconds timeout = 3s) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(timeout.count())) <= 0) return {};
    char buffer[8192];
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    return got > 0 ? std::string(buffer, got) : std::string();
  }
  // The first final response (status 200 or more) within `timeout`.
  std::string FinalResponse(std::chrono::milliseconds timeout = 3s) {
    for (auto end = Clock::now() + timeout; Clock::now() < end;) {
      std::string message =
          Receive(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
      if (message.starts_with("SIP/2.0 ") && message[8] >= '2') return message;
    }
    return {};
  }

  // A request outside any dialog, from call `id`, with `body` of `type`.
  std::string Request(const std::string& method, int id, const std::string& type = "",
                      const std::string& body = "", const std::string& toTag = "",
                      int cseq = 1) const {
    std::string text =
        method + " sip:" + user_ + "@127.0.0.1:" + std::to_string(port_) + " SIP/2.0\r\n" +
        "Via: SIP/2.0/UDP 127.0.0.1:" + std::to_string(local_) + ";branch=z9hG4bK-test-" +
        std::to_string(id) + "-" + std::to_string(cseq) + ";rport\r\n" + "Max-Forwards: 70\r\n" +
        "From: <sip:tester@127.0.0.1>;tag=f" + std::to_string(id) + "\r\n" + "To: <sip:" + user_ +
        "@127.0.0.1>" + (toTag.empty() ? "" : ";tag=" + toTag) + "\r\n" + "Call-ID: test-" +
        std::to_string(id) + "@127.0.0.1\r\n" + "CSeq: " + std::to_string(cseq) + " " + method +
        "\r\n" + "Contact: <sip:tester@127.0.0.1:" + std::to_string(local_) + ">\r\n";
    if (!type.empty()) text += "Content-Type: " + type + "\r\n";
    return text + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  }

 private:
  int port_;
  std::string user_;
  int local_ = 0;
  int fd_ = -1;
};

// The status code of a response; 0 for anything else.
inline int Status(const std::string& response) {
  return response.size() > 11 ? std::atoi(response.c_str() + 8) : 0;
}

inline std::string Header(const std::string& message, const std::string& name) {
  size_t at = message.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  at += name.size() + 3;
  while (message[at] == ' ') ++at;
  return message.substr(at, message.find("\r\n", at) - at);
}

inline std::string Offer(int rtpPort, const std::string& formats = "0",
                         const std::string& maps = "a=rtpmap:0 PCMU/8000\r\n") {
  return "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
         "m=audio " +
         std::to_string(rtpPort) + " RTP/AVP " + formats + "\r\n" + maps;
}

}  // namespace phone_test
