// CGipsMediaHandler: creation and destruction, IUnknown, Init and the
// version texts.
#include "media/gips_media_handler.h"

#include "platform/bstr.h"
#include "platform/sync.h"

platform::ComPtr<CGipsMediaHandler> CGipsMediaHandler::Create() {
  return platform::ComPtr<CGipsMediaHandler>::Adopt(new CGipsMediaHandler());
}

CGipsMediaHandler::CGipsMediaHandler() : sleep_([](DWORD milliseconds) { Sleep(milliseconds); }) {}

CGipsMediaHandler::~CGipsMediaHandler() {
  // A queued timer message must find no timer, and the engine must find no
  // stream running into a host object, once the handler starts to go.
  toneTimer_.Stop();
  while (!streamStates_.empty()) DropStreams(streamStates_.begin()->first);
}

HRESULT CGipsMediaHandler::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject && IsEqualIID(riid, IID_IAudioControl)) {
    *ppvObject = static_cast<IAudioControl*>(this);
    AddRef();
    return S_OK;
  }
  return CMediaHandlerImpl::QueryInterface(riid, ppvObject);
}

ULONG CGipsMediaHandler::AddRef() { return CMediaHandlerImpl::AddRef(); }

ULONG CGipsMediaHandler::Release() { return CMediaHandlerImpl::Release(); }

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

void CGipsMediaHandler::ApplyDefaultAudioSettings() {
  // Through the interface, as a host would set them; the engine's answers
  // do not decide whether the handler can work.
  IAudioControl* control = this;
  control->SetSilenceSuppression(VARIANT_FALSE);
  control->SetAcousticEchoCancellation(VARIANT_TRUE);
  control->SetAutomaticGainControl(VARIANT_FALSE);
}
