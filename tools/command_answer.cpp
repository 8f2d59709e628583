#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "host/reference_media_state.h"
#include "host/sdp_document.h"
#include "platform/bstr.h"
#include "tools/commands.h"
#include "tools/negotiation_session.h"

namespace tools {
namespace {

// Answers audio line `index` on `channel`, a channel of its own. An offered
// port of 0 (a stream the peer turns down) is answered as terminated: port 0
// as well.
HRESULT AnswerAudioLine(NegotiationSession& session, LONG channel, host::SdpDocument* offer,
                        LONG index, LONG offeredPort, host::SdpDocument* answer) {
  VARIANT_BOOL anyCommon = VARIANT_FALSE;
  HRESULT hr = session.Handler().AnyCommonFormat(offer, index, &anyCommon);
  if (FAILED(hr)) return hr;
  auto state = host::ReferenceMediaState::Create();
  state->SetChannelId(channel);
  state->SetAnyCommonFormat(anyCommon);
  state->SetTerminated(offeredPort == 0 ? VARIANT_TRUE : VARIANT_FALSE);
  return session.Handler().AddAnswerMediaDescription(offer, index, state.Get(), answer);
}

// Lines of other media are not this plug-in's, and audio lines beyond the
// engine's channels have none: they are turned down (port 0) so that the
// answer keeps one line per offered line.
void RejectLine(const host::SdpMedia& offered, host::SdpDocument* answer) {
  host::SdpMedia line;
  line.media = offered.media;
  line.port = 0;
  line.transport = offered.transport;
  line.formats = offered.formats;
  answer->MutableSession().media.push_back(std::move(line));
}

}  // namespace

int RunAnswerFrom(const Arguments& args, std::istream& in, std::ostream& out, std::ostream& err) {
  NegotiationOptions options;
  std::string error;
  if (!ParseNegotiationOptions(args, true, &options, &error)) {
    err << "medley answer: " << error << " (see medley help answer)\n";
    return 2;
  }
  std::string text;
  if (options.file.empty() || options.file == "-") {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    std::ifstream file(options.file, std::ios::binary);
    if (!file) {
      err << "medley answer: cannot read '" << options.file << "'\n";
      return 1;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  auto parsed = host::SdpDocument::Parse(std::string_view(text));
  if (!parsed.Ok()) {
    err << "medley answer: the input is not an SDP offer: " << parsed.ErrorMessage() << "\n";
    return 1;
  }
  auto offer = std::move(parsed).Value();

  NegotiationSession session;
  HRESULT hr = session.Start(options);
  if (FAILED(hr)) {
    err << "medley answer: the media handler did not start (" << HresultText(hr) << ")\n";
    return 1;
  }
  auto answer = host::SdpDocument::CreateOutgoing(options.ip);
  const auto& lines = offer->Session().media;
  size_t reserved = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (host::MediaTypeFromWord(lines[i].media) != CT_MEDIA_AUDIO) {
      RejectLine(lines[i], answer.Get());
      continue;
    }
    LONG channel = -1;
    hr = session.ReserveChannel(&channel);
    // Once the engine has given out what channels it has, the rest go
    // without; an engine that gives none at all is a failure.
    if (hr == kMediaChannelFailure && reserved > 0) {
      RejectLine(lines[i], answer.Get());
      continue;
    }
    if (SUCCEEDED(hr)) {
      ++reserved;
      hr = AnswerAudioLine(session, channel, offer.Get(), static_cast<LONG>(i), lines[i].port,
                           answer.Get());
    }
    if (FAILED(hr)) {
      err << "medley answer: answering media line " << i + 1 << " failed (" << HresultText(hr)
          << ")\n";
      return 1;
    }
  }
  out << answer->Print();
  return 0;
}

int RunAnswer(const Arguments& args, std::ostream& out, std::ostream& err) {
  return RunAnswerFrom(args, std::cin, out, err);
}

}  // namespace tools
