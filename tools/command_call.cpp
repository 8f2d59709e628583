// medley call: two handler objects, made through the component's entry
// points as a softphone's COM runtime would make them, run an audio call with
// each other on loopback through the voice engine, step by step.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "component/entry_points.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"
#include "tools/call_session.h"
#include "tools/commands.h"
#include "tools/negotiation_session.h"

namespace tools {

namespace {

struct CallOptions {
  std::vector<std::string> callerCodecs;
  std::vector<std::string> calleeCodecs;
  LONG callerPort = 40000;
  LONG calleePort = 42000;
};

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
                       arg == "--callee-port";
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
    } else if (!ParsePort(value, arg == "--port" ? &options->callerPort : &options->calleePort)) {
      *error = arg + " needs a number from 1 to 65535, not '" + value + "'";
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
  HRESULT hr = DllGetClassObject(CLSID_GipsMediaHandler, IID_IClassFactory,
                                 factory.ReceiveVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, IID_IMediaHandler, handler->ReceiveVoid());
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
    std::snprintf(line, sizeof line, "%-7s%-27s%s\n", step.party.c_str(), step.operation.c_str(),
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
  if (connected == S_OK)
    out << "\n-- the call is up: both sides listen, play out and send\n\n";
  else if (connected == S_FALSE)
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
  return connected == S_OK ? 0 : 1;
}

}  // namespace tools
