// medley call: two handler objects, made through the component's entry
// points as a softphone's COM runtime would make them, run an audio call with
// each other on loopback through the voice engine, step by step.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "component/entry_points.h"
#include "host/call_session.h"
#include "host/file_audio_source.h"
#include "medley/media_handler.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/message_queue.h"
#include "tools/commands.h"
#include "tools/negotiation_session.h"

namespace tools {

namespace {

struct CallOptions {
  std::vector<std::string> callerCodecs;
  std::vector<std::string> calleeCodecs;
  LONG callerPort = 40000;
  LONG calleePort = 42000;
  std::string playFile;        // WAV sent into the call by the caller
  std::string calleePlayFile;  // WAV sent into the call by the callee
  std::string recordFile;      // WAV recording of the caller's conversation
  LONG seconds = -1;           // how long the call stays up; -1: until the file is sent
};

// The host's audio format code for WAV streams and files.
constexpr LONG kWavFormat = 3;
// How long a recorded call with nothing to play stays up, and the most a
// played file may keep it up, in seconds.
constexpr LONG kDefaultCallSeconds = 3;
constexpr LONG kLongestPlaySeconds = 600;

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = list.substr(start, comma - start);
    size_t first = name.find_first_not_of(" \t");
    if (first != std::string::npos)
      names.push_back(name.substr(first, name.find_last_not_of(" \t") - first + 1));
    start = comma + 1;
  }
  return names;
}

bool ParsePort(const std::string& text, LONG* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  unsigned long value = std::stoul(text);
  if (value == 0 || value > 65535) return false;
  *port = static_cast<LONG>(value);
  return true;
}

bool ParseCallOptions(const Arguments& args, CallOptions* options, std::string* error) {
  std::string callerList = kDefaultPreferredCodecs;
  std::string calleeList;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool known = arg == "--prefer" || arg == "--callee-prefer" || arg == "--port" ||
                       arg == "--callee-port" || arg == "--play" || arg == "--record" ||
                       arg == "--callee-play" || arg == "--seconds";
    if (!known) {
      *error = "unexpected argument '" + arg + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "option " + arg + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (arg == "--prefer") {
      callerList = value;
    } else if (arg == "--callee-prefer") {
      calleeList = value;
    } else if (arg == "--play") {
      options->playFile = value;
    } else if (arg == "--callee-play") {
      options->calleePlayFile = value;
    } else if (arg == "--record") {
      options->recordFile = value;
    } else if (arg == "--seconds") {
      LONG seconds = 0;
      if (!ParsePort(value, &seconds) || seconds > kLongestPlaySeconds) {
        *error = "--seconds needs a number from 1 to 600, not '" + value + "'";
        return false;
      }
      options->seconds = seconds;
    } else if (!ParsePort(value, arg == "--port" ? &options->callerPort : &options->calleePort)) {
      *error = arg;
      *error += " needs a number from 1 to 65535, not '" + value + "'";
      return false;
    }
  }
  options->callerCodecs = SplitList(callerList);
  options->calleeCodecs = calleeList.empty() ? options->callerCodecs : SplitList(calleeList);
  return true;
}

std::string ResultText(HRESULT hr) {
  if (hr == S_OK) return "S_OK";
  if (hr == S_FALSE) return "S_FALSE";
  return HresultText(hr);
}

// A new handler object from the class factory that DllGetClassObject hands out.
HRESULT CreateHandler(platform::ComPtr<IMediaHandler>* handler) {
  platform::ComPtr<IClassFactory> factory;
  HRESULT hr = DllGetClassObject(CLSID_GipsMediaHandler, IID_IClassFactory, factory.ReceiveVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, IID_IMediaHandler, handler->ReceiveVoid());
}

// The playing time of a WAV file in milliseconds from its "fmt " and "data"
// chunks; 0 when the file is not a WAV file it can read.
LONG WavMilliseconds(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char riff[12];
  if (!file.read(riff, sizeof riff) || std::string(riff, 4) != "RIFF" ||
      std::string(riff + 8, 4) != "WAVE")
    return 0;
  std::uint32_t bytesPerSecond = 0;
  unsigned char header[8];
  while (file.read(reinterpret_cast<char*>(header), sizeof header)) {
    std::uint32_t size =
        header[4] | header[5] << 8 | header[6] << 16 | static_cast<std::uint32_t>(header[7]) << 24;
    std::string id(reinterpret_cast<char*>(header), 4);
    if (id == "data")
      return bytesPerSecond ? static_cast<LONG>(std::uint64_t{size} * 1000 / bytesPerSecond) : 0;
    std::streamoff skip = size + (size & 1);
    if (id == "fmt " && size >= 12) {
      unsigned char format[12];
      if (!file.read(reinterpret_cast<char*>(format), sizeof format)) return 0;
      bytesPerSecond = format[8] | format[9] << 8 | format[10] << 16 |
                       static_cast<std::uint32_t>(format[11]) << 24;
      skip -= 12;
    }
    file.seekg(skip, std::ios::cur);
  }
  return 0;
}

// What each end hears: the speaker level of its channel, 0 to 100 %, or -1
// when the handler cannot tell.
struct HeardLevels {
  LONG caller = -1;
  LONG callee = -1;
};

LONG SpeakerLevel(IAudioControl* audio, LONG channel) {
  LONG percent = -1;
  if (!audio || FAILED(audio->GetSpeakerLevel(&percent, channel))) return -1;
  return percent;
}

// Keeps the call up for the given time, or for the longer played file's
// length and half a second for the receiving side's buffer, pumping this
// thread's messages so the handlers' timers run. Once a second it hands
// `sample` the levels both ends hear.
void RunMedia(const CallOptions& options, const std::function<void()>& sample) {
  LONG limit = 0;  // nothing to play or record: hang up at once
  if (options.seconds > 0) {
    limit = options.seconds * 1000;
  } else if (!options.playFile.empty() || !options.calleePlayFile.empty()) {
    LONG length = 0;
    for (const std::string& file : {options.playFile, options.calleePlayFile})
      if (!file.empty()) length = std::max(length, WavMilliseconds(file));
    limit = length > 0 ? std::min<LONG>(length, kLongestPlaySeconds * 1000) + 500
                       : kDefaultCallSeconds * 1000;
  } else if (!options.recordFile.empty()) {
    limit = kDefaultCallSeconds * 1000;
  }
  for (LONG waited = 0; waited < limit; waited += 20) {
    platform::PumpMessagesFor(20);
    if ((waited + 20) % 1000 == 0) sample();
  }
}

// Starts the file streams (the caller's and the callee's) and the caller's
// conversation recording, runs the media printing what each end hears, and
// stops them again. Answers the first failure.
HRESULT PlayAndRecord(CallParty& caller, CallParty& callee, const CallOptions& options,
                      std::ostream& out) {
  platform::ComPtr<IAudioControl> audio, calleeAudio;
  HRESULT hr = caller.handler.As(&audio);
  if (SUCCEEDED(hr)) hr = callee.handler.As(&calleeAudio);
  if (FAILED(hr)) return hr;
  auto report = [&](const CallParty& party, const char* operation, HRESULT result) {
    char line[96];
    std::snprintf(line, sizeof line, "%-7s%-30s%s\n", party.name.c_str(), operation,
                  ResultText(result).c_str());
    out << line;
    return result;
  };
  platform::ComPtr<host::FileAudioSource> source, calleeSource;
  bool calleeStreaming = false;
  if (!options.playFile.empty()) {
    source = host::FileAudioSource::Open(options.playFile);
    if (!source) return E_INVALIDARG;
    hr = report(caller, "StartSendAudioStream",
                audio->StartSendAudioStream(caller.channel, kWavFormat, source.Get(), 100));
    if (FAILED(hr)) return hr;
  }
  if (!options.calleePlayFile.empty()) {
    calleeSource = host::FileAudioSource::Open(options.calleePlayFile);
    hr = calleeSource ? report(callee, "StartSendAudioStream",
                               calleeAudio->StartSendAudioStream(callee.channel, kWavFormat,
                                                                 calleeSource.Get(), 100))
                      : E_INVALIDARG;
    calleeStreaming = SUCCEEDED(hr);
  }
  bool recording = false;
  if (SUCCEEDED(hr) && !options.recordFile.empty()) {
    platform::BString file(options.recordFile);
    hr = report(caller, "StartRecordAudioConversation",
                audio->StartRecordAudioConversation(caller.channel, kWavFormat, file.Get()));
    recording = SUCCEEDED(hr);
  }
  if (SUCCEEDED(hr)) {
    int second = 0;
    RunMedia(options, [&] {
      char line[96];
      std::snprintf(line, sizeof line, "%3ds   caller hears %3d%%   callee hears %3d%%\n", ++second,
                    static_cast<int>(SpeakerLevel(audio.Get(), caller.channel)),
                    static_cast<int>(SpeakerLevel(calleeAudio.Get(), callee.channel)));
      out << line;
    });
  }
  if (recording) {
    HRESULT stopped = report(caller, "StopRecordAudioConversation",
                             audio->StopRecordAudioConversation(caller.channel));
    if (SUCCEEDED(hr)) hr = stopped;
  }
  if (calleeStreaming) {
    HRESULT stopped =
        report(callee, "StopSendAudioStream", calleeAudio->StopSendAudioStream(callee.channel));
    if (SUCCEEDED(hr)) hr = stopped;
  }
  if (source) {
    HRESULT stopped =
        report(caller, "StopSendAudioStream", audio->StopSendAudioStream(caller.channel));
    if (SUCCEEDED(hr)) hr = stopped;
  }
  return hr;
}

}  // namespace

int RunCall(const Arguments& args, std::ostream& out, std::ostream& err) {
  CallOptions options;
  std::string error;
  if (!ParseCallOptions(args, &options, &error)) {
    err << "medley call: " << error << " (see medley help call)\n";
    return 2;
  }
  CallParty caller;
  CallParty callee;
  caller.name = "caller";
  callee.name = "callee";
  caller.preferredCodecs = options.callerCodecs;
  callee.preferredCodecs = options.calleeCodecs;
  caller.network->Settings().preferred_audio_rtp_port = options.callerPort;
  callee.network->Settings().preferred_audio_rtp_port = options.calleePort;
  for (CallParty* party : {&caller, &callee}) {
    HRESULT hr = CreateHandler(&party->handler);
    if (FAILED(hr)) {
      err << "medley call: no " << party->name << " object from the class factory ("
          << HresultText(hr) << ")\n";
      return 1;
    }
  }

  CallSession* current = nullptr;
  CallSession session(caller, callee, [&](const CallStep& step) {
    char line[96];
    std::snprintf(line, sizeof line, "%-7s%-30s%s\n", step.party.c_str(), step.operation.c_str(),
                  ResultText(step.result).c_str());
    out << line;
    if (SUCCEEDED(step.result) && step.operation == "AddOfferMediaDescription")
      out << "\n-- offer (caller to callee)\n" << current->Offer().Print() << "--\n\n";
    if (SUCCEEDED(step.result) && step.operation == "AddAnswerMediaDescription")
      out << "\n-- answer (callee to caller)\n" << current->Answer().Print() << "--\n\n";
  });
  current = &session;

  HRESULT hr = session.Prepare(caller);
  if (SUCCEEDED(hr)) hr = session.Prepare(callee);
  if (FAILED(hr)) {
    err << "medley call: the handlers did not start (" << HresultText(hr) << ")\n";
    return 1;
  }
  HRESULT connected = session.Connect();
  HRESULT media = S_OK;
  if (connected == S_OK) {
    out << "\n-- the call is up: both sides listen, play out and send\n\n";
    media = PlayAndRecord(caller, callee, options, out);
    if (media == E_INVALIDARG && !(options.playFile + options.calleePlayFile).empty())
      err << "medley call: cannot read '"
          << (options.playFile.empty() ? options.calleePlayFile : options.playFile) << "'\n";
  } else if (connected == S_FALSE)
    out << "\n-- the callee turned the line down: no codec in common\n\n";
  HRESULT hungUp = session.HangUp();
  if (FAILED(connected)) {
    err << "medley call: the call failed (" << HresultText(connected) << ")\n";
    return 1;
  }
  if (FAILED(hungUp)) {
    err << "medley call: hanging up failed (" << HresultText(hungUp) << ")\n";
    return 1;
  }
  if (FAILED(media)) {
    err << "medley call: playing or recording failed (" << HresultText(media) << ")\n";
    return 1;
  }
  return connected == S_OK ? 0 : 1;
}

}  // namespace tools
