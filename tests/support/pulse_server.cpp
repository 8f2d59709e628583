#include "tests/support/pulse_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace test_support {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartBound = std::chrono::seconds(10);
constexpr auto kStopBound = std::chrono::seconds(5);
constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr auto kRecordSlack = std::chrono::seconds(5);

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string folder = rest.substr(0, colon);
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
  }
  return false;
}

// Starts `args` with `env`, stdout to `stdoutFd` (or the file `logPath` when
// -1) and stderr to `logPath`. -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int stdoutFd,
            const std::string& logPath) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (stdoutFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  else
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

// Asks `pid` to end, kills it when it does not within a bound, and reaps it.
void EndProcess(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const Clock::time_point deadline = Clock::now() + kStopBound;
  while (Clock::now() < deadline) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(kPollStep);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool SocketAccepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

std::string Tail(const std::string& path) {
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.size() > 600 ? text.substr(text.size() - 600) : text;
}

}  // namespace

PulseServer::PulseServer() {
  if (!OnPath("pulseaudio") || !OnPath("parec")) {
    problem_ = "pulseaudio or parec is not installed";
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/medley-pulse-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    problem_ = "no temporary folder";
    return;
  }
  folder_ = pattern;
  if (!Start()) Stop();
}

PulseServer::~PulseServer() {
  Stop();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

std::string PulseServer::Address() const { return "unix:" + folder_ + "/native"; }

std::vector<std::string> PulseServer::Environment() const {
  const char* path = std::getenv("PATH");
  return {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
          "HOME=" + folder_ + "/home",
          "XDG_CONFIG_HOME=" + folder_ + "/home/.config",
          "XDG_RUNTIME_DIR=" + folder_ + "/run",
          "PULSE_RUNTIME_PATH=" + folder_ + "/run/pulse",
          "PULSE_STATE_PATH=" + folder_ + "/state"};
}

bool PulseServer::Start() {
  for (const char* sub : {"/home", "/run", "/state"}) mkdir((folder_ + sub).c_str(), 0700);
  {
    std::ofstream alsa(AlsaConfig());
    alsa << "pcm.!default { type pulse server \"" << Address() << "\" }\n"
         << "ctl.!default { type pulse server \"" << Address() << "\" }\n";
  }
  // -n: no default script; root is allowed outside system mode with a
  // private home and runtime folder. Plain sockets instead of shared memory
  // keep every file inside the folder.
  const std::vector<std::string> args = {
      "pulseaudio",
      "--daemonize=no",
      "--exit-idle-time=-1",
      "-n",
      "--use-pid-file=no",
      "--realtime=no",
      "--high-priority=no",
      "--disable-shm=yes",
      "--log-target=stderr",
      "--load=module-null-sink sink_name=" + std::string(kSinkName) + " rate=8000 channels=1",
      "--load=module-native-protocol-unix socket=" + folder_ + "/native auth-anonymous=1"};
  const std::string log = folder_ + "/pulseaudio.log";
  server_ = Spawn(args, Environment(), -1, log);
  if (server_ <= 0) {
    problem_ = "pulseaudio could not be started";
    return false;
  }
  const Clock::time_point deadline = Clock::now() + kStartBound;
  while (Clock::now() < deadline) {
    if (waitpid(server_, nullptr, WNOHANG) == server_) {
      server_ = -1;
      problem_ = "pulseaudio exited: " + Tail(log);
      return false;
    }
    if (SocketAccepts(folder_ + "/native")) return true;
    std::this_thread::sleep_for(kPollStep);
  }
  problem_ = "pulseaudio did not come up: " + Tail(log);
  return false;
}

void PulseServer::Stop() {
  EndProcess(server_);
  server_ = -1;
}

std::vector<std::int16_t> PulseServer::RecordMonitor(int milliseconds, int rate) {
  if (!Running()) return {};
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  const std::vector<std::string> args = {"parec",
                                         "--server=" + Address(),
                                         "--device=" + std::string(kSinkName) + ".monitor",
                                         "--rate=" + std::to_string(rate),
                                         "--channels=1",
                                         "--format=s16le",
                                         "--latency-msec=20",
                                         "--raw"};
  const pid_t recorder = Spawn(args, Environment(), pipeFds[1], folder_ + "/parec.log");
  close(pipeFds[1]);
  std::vector<std::int16_t> samples;
  if (recorder > 0) {
    const std::size_t wanted = static_cast<std::size_t>(rate) * milliseconds / 1000 * 2;
    std::string bytes;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(milliseconds) + kRecordSlack;
    char buffer[4096];
    while (bytes.size() < wanted && Clock::now() < deadline) {
      pollfd readable{pipeFds[0], POLLIN, 0};
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (poll(&readable, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) break;
      const ssize_t got = read(pipeFds[0], buffer, std::min(sizeof buffer, wanted - bytes.size()));
      if (got <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    EndProcess(recorder);
    if (bytes.size() == wanted) {
      samples.resize(wanted / 2);
      std::memcpy(samples.data(), bytes.data(), wanted);
    }
  }
  close(pipeFds[0]);
  return samples;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
  const char* previous = std::getenv(name);
  hadPrevious_ = previous != nullptr;
  if (previous) previous_ = previous;
  setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (hadPrevious_)
    setenv(name_.c_str(), previous_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

double RmsDb(const std::vector<std::int16_t>& pcm) {
  if (pcm.empty()) return -200;
  double sum = 0;
  for (std::int16_t s : pcm) sum += double(s) * s;
  const double rms = std::sqrt(sum / double(pcm.size()));
  return rms > 0 ? 20 * std::log10(rms / 32768.0) : -200;
}

double SteadyLevelDb(const std::vector<std::int16_t>& pcm, std::size_t window) {
  std::vector<double> levels;
  for (std::size_t begin = 0; window > 0 && begin + window <= pcm.size(); begin += window)
    levels.push_back(RmsDb(
        std::vector<std::int16_t>(pcm.begin() + static_cast<std::ptrdiff_t>(begin),
                                  pcm.begin() + static_cast<std::ptrdiff_t>(begin + window))));
  if (levels.empty()) return -200;
  std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2),
                   levels.end());
  return levels[levels.size() / 2];
}

double DominantFrequency(const std::vector<std::int16_t>& pcm, int rate) {
  double best = 0;
  double bestPower = -1;
  for (double f = 100; f < rate / 2.0; f += 10) {
    // Goertzel's recurrence at f.
    const double coefficient = 2 * std::cos(2 * M_PI * f / rate);
    double previous = 0;
    double older = 0;
    for (std::int16_t s : pcm) {
      const double current = s + coefficient * previous - older;
      older = previous;
      previous = current;
    }
    const double power = previous * previous + older * older - coefficient * previous * older;
    if (power > bestPower) {
      bestPower = power;
      best = f;
    }
  }
  return best;
}

}  // namespace test_support
