// CGipsMediaHandler: creation, Init, version texts and the audio settings
// that negotiation reads.
#include "media/gips_media_handler.h"

#include "media/com_call_guard.h"
#include "platform/bstr.h"

platform::ComPtr<CGipsMediaHandler> CGipsMediaHandler::Create() {
  return platform::ComPtr<CGipsMediaHandler>::Adopt(new CGipsMediaHandler());
}

CGipsMediaHandler::CGipsMediaHandler() = default;

CGipsMediaHandler::~CGipsMediaHandler() = default;

HRESULT CGipsMediaHandler::get_Version(BSTR* pbstrVersion) {
  if (!pbstrVersion) return E_POINTER;
  return voiceEngine_.GetVersion(pbstrVersion);
}

HRESULT CGipsMediaHandler::get_VendorInformation(BSTR* pbstrVendorInformation) {
  if (!pbstrVendorInformation) return E_POINTER;
  static constexpr char kBanner[] =
      "Voice processing by the GIPS voice engine.\r\n"
      "Audio codecs, echo cancellation, gain control and\r\n"
      "jitter buffering are provided by the engine library.";
  *pbstrVendorInformation = platform::AllocBstr(std::string_view(kBanner));
  return *pbstrVendorInformation ? S_OK : E_OUTOFMEMORY;
}

HRESULT CGipsMediaHandler::Init(INetwork* pNetwork) {
  if (initialised_) return S_OK;
  if (!pNetwork) return E_POINTER;
  // Kept for the object's lifetime; a failed Init leaves it to be replaced
  // by the next call.
  SetNetwork(pNetwork);
  HRESULT hr = voiceEngine_.Init();
  if (FAILED(hr)) return hr;
  CT_CONNECTION_TYPE connectionType = CT_CONNECTION_TYPE_2048_KBPS;
  hr = pNetwork->get_ConnectionType(&connectionType);
  if (FAILED(hr)) return hr;
  ApplyDefaultAudioSettings();
  // The host drives the engine's other features itself; not having the
  // engine object is not an error for the media handler.
  pNetwork->put_VoiceEngine(reinterpret_cast<LONG*>(voiceEngine_.GetVoiceEngine()));
  initialised_ = true;
  return S_OK;
}

void CGipsMediaHandler::ApplyDefaultAudioSettings() {}

HRESULT CGipsMediaHandler::AddPreferredAudioFormat(BSTR codecName) {
  if (!codecName) return E_POINTER;
  return GuardComCall([&]() -> HRESULT {
    preferredAudioFormats_.emplace_back(platform::BstrView(codecName));
    return S_OK;
  });
}

HRESULT CGipsMediaHandler::ClearPreferredAudioFormats() {
  preferredAudioFormats_.clear();
  return S_OK;
}

HRESULT CGipsMediaHandler::SetSilenceSuppression(VARIANT_BOOL enable) {
  silenceSuppression_ = enable;
  return S_OK;
}
