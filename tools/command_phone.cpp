// medley phone: a SIP phone on the plug-in. The component is loaded as a
// softphone host loads it: registered with its own DllRegisterServer into a
// private registry file, created by ProgID through the activation functions,
// initialised with the reference host's network settings; its calls are made
// and taken by the SIP user agent in host/sip_phone.h.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "host/reference_network.h"
#include "host/sip_phone.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/activation.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/message_queue.h"
#include "tools/commands.h"
#include "tools/module_file.h"
#include "tools/negotiation_session.h"

namespace tools {

namespace {

struct PhoneArguments {
  host::PhoneOptions phone;
  std::string dial;
  std::vector<std::string> codecs;
  bool listenGiven = false;
  int rtpPort = 0;  // 0: the network settings' default
};

std::vector<std::string> SplitCommas(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) names.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

// The local address that reaches the host of `uri` (an IPv4 literal), from
// the routing table; 127.0.0.1 when there is none.
std::string AddressTowards(const std::string& uri) {
  const size_t at = uri.find('@');
  const std::string host = uri.substr(at == std::string::npos ? 4 : at + 1);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(5060);
  if (::inet_pton(AF_INET, host.substr(0, host.find_first_of(":;>")).c_str(), &peer.sin_addr) != 1)
    return "127.0.0.1";
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  socklen_t size = sizeof local;
  const bool found = fd >= 0 &&
                     ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0;
  if (fd >= 0) ::close(fd);
  char text[INET_ADDRSTRLEN] = "127.0.0.1";
  if (found) ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
  return text;
}

bool ParsePhoneArguments(const Arguments& args, PhoneArguments* parsed, std::string* error) {
  std::string prefer = kDefaultPreferredCodecs;
  std::string user;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--auto-answer") {
      parsed->phone.autoAnswer = true;
      continue;
    }
    static const char* const kValued[] = {"--listen", "--dial",     "--play",    "--record",
                                          "--dtmf",   "--seconds",  "--prefer",  "--register",
                                          "--user",   "--password", "--rtp-port"};
    bool known = false;
    for (const char* name : kValued) known = known || arg == name;
    if (!known) {
      *error = "unexpected argument '" + arg + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "option " + arg + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (arg == "--listen") {
      parsed->phone.listen = value;
      parsed->listenGiven = true;
    } else if (arg == "--dial") {
      parsed->dial = value;
    } else if (arg == "--play") {
      parsed->phone.playFile = value;
    } else if (arg == "--record") {
      parsed->phone.recordFile = value;
    } else if (arg == "--dtmf") {
      if (value.find_first_not_of("0123456789*#abcdABCD") != std::string::npos) {
        *error = "--dtmf takes keys 0-9, *, # and A-D, not '" + value + "'";
        return false;
      }
      parsed->phone.dtmf = value;
    } else if (arg == "--seconds") {
      const bool digits = !value.empty() && value.size() <= 5 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      const int seconds = digits ? std::stoi(value) : 0;
      if (seconds < 1 || seconds > 86400) {
        *error = "--seconds needs a number from 1 to 86400, not '" + value + "'";
        return false;
      }
      parsed->phone.seconds = seconds;
    } else if (arg == "--rtp-port") {
      const bool digits = !value.empty() && value.size() <= 5 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      const int port = digits ? std::stoi(value) : 0;
      if (port < 1024 || port > 65534) {
        *error = "--rtp-port needs a port from 1024 to 65534, not '" + value + "'";
        return false;
      }
      parsed->rtpPort = port;
    } else if (arg == "--prefer") {
      prefer = value;
    } else if (arg == "--register") {
      if (value.compare(0, 4, "sip:") != 0 || value.size() == 4) {
        *error = "--register needs a sip: URI, not '" + value + "'";
        return false;
      }
      parsed->phone.registrar = value;
    } else if (arg == "--user") {
      user = value;
    } else {
      parsed->phone.password = value;
    }
  }
  if (parsed->dial.empty() && !parsed->listenGiven) {
    *error = "give --listen ADDR:PORT to take calls or --dial SIP-URI to make one";
    return false;
  }
  if (parsed->phone.listen.starts_with("0.0.0.0:")) {
    *error = "--listen needs the address the other phone reaches, not 0.0.0.0";
    return false;
  }
  if (!parsed->dial.empty() && parsed->dial.compare(0, 4, "sip:") != 0) {
    *error = "--dial needs a sip: URI, not '" + parsed->dial + "'";
    return false;
  }
  if (!parsed->phone.registrar.empty() && (user.empty() || parsed->phone.password.empty())) {
    *error = "--register needs --user and --password";
    return false;
  }
  if (!parsed->listenGiven) parsed->phone.listen = AddressTowards(parsed->dial) + ":0";
  if (!user.empty()) parsed->phone.user = user;
  parsed->codecs = SplitCommas(prefer);
  return true;
}

// A registry file of this process's own, removed again at the end.
class PrivateRegistry {
 public:
  PrivateRegistry() {
    std::string pattern = std::filesystem::temp_directory_path() / "medley-phone-XXXXXX";
    if (::mkdtemp(pattern.data())) directory_ = pattern;
    if (!directory_.empty()) ::setenv("MEDLEY_REGISTRY", (directory_ + "/registry").c_str(), 1);
  }
  ~PrivateRegistry() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }
  bool Ok() const { return !directory_.empty(); }

 private:
  std::string directory_;
};

// The component as a host loads it; the host pumps its timers through the
// message functions the component exports. The component stays loaded until
// the process ends, as a host that is about to exit leaves it: what it keeps
// for the life of the process is then still its own.
class LoadedComponent {
 public:
  ~LoadedComponent() {
    handler_ = nullptr;
    CoUninitialize();
  }
  bool Load(const std::string& file, std::string* error) {
    module_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) {
      *error = "cannot load " + file + " (" + ::dlerror() + ")";
      return false;
    }
    auto registerServer = reinterpret_cast<HRESULT (*)()>(::dlsym(module_, "DllRegisterServer"));
    peek_ = reinterpret_cast<decltype(peek_)>(::dlsym(module_, "PeekMessage"));
    dispatch_ = reinterpret_cast<decltype(dispatch_)>(::dlsym(module_, "DispatchMessage"));
    if (!registerServer || !peek_ || !dispatch_) {
      *error = file + " is not the plug-in";
      return false;
    }
    HRESULT hr = registerServer();
    CoInitialize(nullptr);
    CLSID clsid = {};
    if (SUCCEEDED(hr)) hr = CLSIDFromProgID(platform::AsciiToWide(MEDLEY_PROGID).c_str(), &clsid);
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaHandler,
                            handler_.ReceiveVoid());
    if (FAILED(hr)) {
      *error = "no " MEDLEY_PROGID " object (" + HresultText(hr) + ")";
      return false;
    }
    return true;
  }
  IMediaHandler* Handler() const { return handler_.Get(); }
  void Pump() {
    MSG message;
    while (peek_(&message, nullptr, 0, 0, PM_REMOVE)) dispatch_(&message);
  }

 private:
  void* module_ = nullptr;
  BOOL (*peek_)(MSG*, HWND, UINT, UINT, UINT) = nullptr;
  LRESULT (*dispatch_)(const MSG*) = nullptr;
  platform::ComPtr<IMediaHandler> handler_;
};

}  // namespace

int RunPhone(const Arguments& args, std::ostream& out, std::ostream& err) {
  PhoneArguments parsed;
  std::string error;
  if (!ParsePhoneArguments(args, &parsed, &error)) {
    err << "medley phone: " << error << " (see medley help phone)\n";
    return 2;
  }
  PrivateRegistry registry;
  LoadedComponent component;
  if (!registry.Ok() || !component.Load(ComponentModuleFile(), &error)) {
    err << "medley phone: " << (registry.Ok() ? error : "no private registry file") << "\n";
    return 1;
  }
  const std::string listenIp = parsed.phone.listen.substr(0, parsed.phone.listen.rfind(':'));
  platform::ComPtr<host::ReferenceNetwork> network = host::ReferenceNetwork::Create();
  network->Settings().local_ip = platform::AsciiToWide(listenIp);
  if (parsed.rtpPort != 0) network->Settings().preferred_audio_rtp_port = parsed.rtpPort;
  HRESULT hr = component.Handler()->Init(network.Get());
  platform::ComPtr<IAudioControl> audio;
  if (SUCCEEDED(hr))
    hr = component.Handler()->QueryInterface(IID_IAudioControl, audio.ReceiveVoid());
  for (size_t i = 0; SUCCEEDED(hr) && i < parsed.codecs.size(); ++i) {
    platform::BString name(parsed.codecs[i]);
    hr = audio->AddPreferredAudioFormat(name.Get());
  }
  if (FAILED(hr)) {
    err << "medley phone: the plug-in did not start (" << HresultText(hr) << ")\n";
    return 1;
  }
  int status = 1;
  {
    host::SipPhone phone(
        component.Handler(), parsed.phone,
        [&out](const std::string& line) { out << line << std::endl; },
        [&component] { component.Pump(); });
    if (phone.Start(&error) != 0) {
      err << "medley phone: " << error << "\n";
      return 1;
    }
    if (!parsed.dial.empty() && phone.Dial(parsed.dial) != 0) return 1;
    status = phone.Run();
  }
  return status;
}

}  // namespace tools
