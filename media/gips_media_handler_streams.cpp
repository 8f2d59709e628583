// CGipsMediaHandler: audio streams between host objects and the engine
// (played to the speaker, sent into the call, recorded from the playout,
// converted), conversation recording, and the per-channel stream state.
#include <new>
#include <string>

#include "audio/audio_stream_format.h"
#include "platform/com_call_guard.h"
#include "media/gips_media_handler.h"
#include "platform/bstr.h"

namespace {

// The rate a codec is given for recording or converting into `format`.
void ForceRate(LONG format, CodecDescriptor* codec) {
  const AudioStreamFormatInfo* info = FindAudioStreamFormat(format);
  if (info && info->forcedRate != 0) codec->rate = info->forcedRate;
}

}  // namespace

HRESULT CGipsMediaHandler::GetCodec(LONG format, CodecDescriptor* codec) {
  if (!codec) return E_POINTER;
  const AudioStreamFormatInfo* info = FindAudioStreamFormat(format);
  if (!info || !info->codecName) return E_INVALIDARG;
  return voiceEngine_.FindCodecByName(info->codecName, codec);
}

HRESULT CGipsMediaHandler::FindStreams(LONG channel, ChannelStreamState** streams) {
  auto found = streamStates_.find(channel);
  if (found == streamStates_.end()) return E_INVALIDARG;
  *streams = found->second.get();
  return S_OK;
}

HRESULT CGipsMediaHandler::StartInStream(LONG channel, LONG format, IAudioSource* source,
                                         LONG volume, bool toNetwork) {
  ChannelStreamState* streams = nullptr;
  HRESULT hr = FindStreams(channel, &streams);
  if (FAILED(hr)) return hr;
  if (!source) return E_POINTER;
  bool& running = toNetwork ? streams->sending : streams->playing;
  if (running) return S_OK;
  const AudioStreamFormatInfo* info = FindAudioStreamFormat(format);
  if (!info) return E_INVALIDARG;
  RelayInStream& relay = toNetwork ? streams->sendRelay : streams->playRelay;
  relay.Open(format, source);
  float scale = static_cast<float>(volume) / 100.0f;
  // On before the engine is asked: its thread may read the stream, and the
  // source stop it, before the start returns.
  running = true;
  hr = toNetwork
           ? voiceEngine_.StartPlayingFileAsMicrophone(channel, &relay, info->fileKind, scale, true)
           : voiceEngine_.StartPlayingFileLocally(channel, &relay, info->fileKind, scale);
  if (FAILED(hr)) {
    // Forgotten without the end call: the host hears nothing more of a stream
    // that never started.
    running = false;
    relay.Reset();
    return hr;
  }
  return S_OK;
}

HRESULT CGipsMediaHandler::StartPlayAudioStream(LONG channel, LONG format, IAudioSource* source,
                                                LONG volume) {
  return StartInStream(channel, format, source, volume, false);
}

HRESULT CGipsMediaHandler::StartSendAudioStream(LONG channel, LONG format, IAudioSource* source,
                                                LONG volume) {
  return StartInStream(channel, format, source, volume, true);
}

HRESULT CGipsMediaHandler::StopPlayStream(LONG channel, ChannelStreamState& streams) {
  if (!streams.playing) return S_OK;
  // Closed first: reads that still arrive get the end of the data.
  streams.playRelay.Close();
  HRESULT hr = voiceEngine_.StopPlayingFileLocally(channel);
  if (FAILED(hr)) return hr;
  streams.playRelay.Reset();
  streams.playing = false;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopSendStream(LONG channel, ChannelStreamState& streams) {
  if (!streams.sending) return S_OK;
  streams.sendRelay.Close();
  HRESULT hr = voiceEngine_.StopPlayingFileAsMicrophone(channel);
  if (FAILED(hr)) return hr;
  streams.sendRelay.Reset();
  streams.sending = false;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopPlayAudioStream(LONG channel) {
  ChannelStreamState* streams = nullptr;
  if (FAILED(FindStreams(channel, &streams))) return S_FALSE;
  return StopPlayStream(channel, *streams);
}

HRESULT CGipsMediaHandler::StopSendAudioStream(LONG channel) {
  ChannelStreamState* streams = nullptr;
  if (FAILED(FindStreams(channel, &streams))) return S_FALSE;
  return StopSendStream(channel, *streams);
}

HRESULT CGipsMediaHandler::StartRecordAudioStream(LONG channel, LONG format, IAudioSink* sink) {
  return platform::GuardComCall([&]() -> HRESULT {
    ChannelStreamState* streams = nullptr;
    HRESULT hr = FindStreams(channel, &streams);
    if (FAILED(hr)) return hr;
    if (!sink) return E_POINTER;
    if (streams->recording) return S_OK;
    if (!FindAudioStreamFormat(format)) return E_INVALIDARG;
    RelayOutStream& relay = streams->recordRelay;
    // On before the engine is asked, as for the streams it reads.
    streams->recording = true;
    if (format == AUDIO_STREAM_PCM) {
      relay.Open(format, sink);
      hr = voiceEngine_.StartRecordingPlayout(&relay);
    } else {
      CodecDescriptor codec;
      hr = GetCodec(format, &codec);
      if (FAILED(hr)) {
        streams->recording = false;
        return hr;
      }
      ForceRate(format, &codec);
      relay.Open(format, sink);
      hr = voiceEngine_.StartRecordingPlayout(codec, &relay);
    }
    if (FAILED(hr)) {
      streams->recording = false;
      relay.Reset();
      return hr;
    }
    return S_OK;
  });
}

HRESULT CGipsMediaHandler::StopRecordStream(ChannelStreamState& streams) {
  if (!streams.recording) return S_OK;
  // The engine stops writing first, so the sink's end call comes last.
  HRESULT hr = voiceEngine_.StopRecordingPlayout();
  if (FAILED(hr)) return hr;
  streams.recordRelay.Close();
  streams.recordRelay.Reset();
  streams.recording = false;
  return S_OK;
}

HRESULT CGipsMediaHandler::StopRecordAudioStream(LONG channel) {
  ChannelStreamState* streams = nullptr;
  if (FAILED(FindStreams(channel, &streams))) return S_FALSE;
  return StopRecordStream(*streams);
}

HRESULT CGipsMediaHandler::ConvertAudioStream(LONG inFormat, IAudioSource* source, LONG outFormat,
                                              IAudioSink* sink) {
  return platform::GuardComCall([&]() -> HRESULT {
    if (!source || !sink) return E_POINTER;
    if (!FindAudioStreamFormat(inFormat) || !FindAudioStreamFormat(outFormat)) return E_INVALIDARG;
    // One side of every conversion the engine offers is PCM.
    bool fromPcm = inFormat == AUDIO_STREAM_PCM;
    if ((fromPcm && outFormat == AUDIO_STREAM_WAV) || (!fromPcm && outFormat != AUDIO_STREAM_PCM))
      return E_NOTIMPL;
    CodecDescriptor codec;
    if (fromPcm) {
      HRESULT hr = GetCodec(outFormat, &codec);
      if (FAILED(hr)) return hr;
      ForceRate(outFormat, &codec);
    }
    RelayInStream in;
    RelayOutStream out;
    in.Open(inFormat, source);
    out.Open(outFormat, sink);
    HRESULT hr = fromPcm ? voiceEngine_.ConvertPcmToCompressed(&in, codec, &out)
                 : inFormat == AUDIO_STREAM_WAV ? voiceEngine_.ConvertWavToPcm(&in, &out)
                                                : voiceEngine_.ConvertCompressedToPcm(&in, &out);
    if (FAILED(hr)) {
      // A failed conversion ends without the end calls.
      in.Reset();
      out.Reset();
      return hr;
    }
    in.Close();
    out.Close();
    return S_OK;
  });
}

HRESULT CGipsMediaHandler::StartRecordAudioConversation(LONG channel, LONG format, BSTR fileName) {
  return platform::GuardComCall([&]() -> HRESULT {
    ChannelStreamState* streams = nullptr;
    HRESULT hr = FindStreams(channel, &streams);
    if (FAILED(hr)) return hr;
    if (streams->conversation) return S_OK;
    // A WAV recording holds 8 kHz linear samples; otherwise the engine
    // chooses the codec.
    CodecDescriptor codec;
    if (format == AUDIO_STREAM_WAV) {
      codec.SetName(MEDLEY_OLESTR("L16"));
      codec.frequency = 8000;
    }
    std::string name = platform::WideToNarrow(platform::BstrView(fileName));
    hr = voiceEngine_.StartRecordingCall(codec, name.c_str());
    if (FAILED(hr)) return hr;
    streams->conversation = true;
    return S_OK;
  });
}

HRESULT CGipsMediaHandler::PauseRecordAudioConversation(LONG channel, VARIANT_BOOL pause) {
  ChannelStreamState* streams = nullptr;
  HRESULT hr = FindStreams(channel, &streams);
  if (FAILED(hr)) return hr;
  if (!streams->conversation) return S_OK;
  return voiceEngine_.PauseRecordingCall(pause != VARIANT_FALSE);
}

HRESULT CGipsMediaHandler::StopConversation(ChannelStreamState& streams) {
  if (!streams.conversation) return S_OK;
  // Cleared first: a recording the engine cannot stop is not retried.
  streams.conversation = false;
  return voiceEngine_.StopRecordingCall();
}

HRESULT CGipsMediaHandler::StopRecordAudioConversation(LONG channel) {
  ChannelStreamState* streams = nullptr;
  HRESULT hr = FindStreams(channel, &streams);
  if (FAILED(hr)) return hr;
  return StopConversation(*streams);
}

void CGipsMediaHandler::DropStreams(LONG channel) {
  auto found = streamStates_.find(channel);
  if (found == streamStates_.end()) return;
  std::unique_ptr<ChannelStreamState> streams = std::move(found->second);
  streamStates_.erase(found);
  ChannelStreamState& s = *streams;
  StopPlayStream(channel, s);
  StopSendStream(channel, s);
  StopRecordStream(s);
  StopConversation(s);
  const bool inCall = s.playRelay.InCall() || s.sendRelay.InCall() || s.recordRelay.InCall();
  if (!s.playing && !s.sending && !s.recording && !inCall) return;
  // The engine refused a stop and may still call a relay, or this thread is
  // inside a relay's call into a host object (the host released the channel
  // from inside it) and the relay resumes when that call returns: the host
  // objects hear the end now, and the relays stay, closed, until the engine
  // is gone.
  for (RelayInStream* relay : {&s.playRelay, &s.sendRelay}) {
    relay->Close();
    relay->Reset();
  }
  s.recordRelay.Close();
  s.recordRelay.Reset();
  try {
    retiredStreamStates_.push_back(std::move(streams));
  } catch (const std::bad_alloc&) {
    // Better a few bytes lost than a relay freed under the engine.
    static_cast<void>(streams.release());
  }
}
