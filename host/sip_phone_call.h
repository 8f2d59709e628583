// One call of the SIP phone (host/sip_phone.h): its libre session, its
// media, and the timers of its keys and its hang-up. Private to
// sip_phone.cpp; used on the SIP loop's thread.
#pragma once

#include <string>
#include <utility>

#include "host/file_audio_source.h"
#include "host/phone_media.h"
#include "host/sip_phone.h"

// libre's headers go last: they define names the C++ headers must not see.
extern "C" {
#include <re.h>
}

namespace host {

struct PhoneCall {
  PhoneCall(SipPhone* phone, int id, bool incoming, std::string peer, IMediaHandler* handler,
            const std::string& localIp)
      : phone(phone), id(id), incoming(incoming), peer(std::move(peer)), media(handler, localIp) {
    tmr_init(&keyTimer);
    tmr_init(&hangUpTimer);
  }
  ~PhoneCall() {
    tmr_cancel(&keyTimer);
    tmr_cancel(&hangUpTimer);
    StopStreams();
    media.Stop();
    mem_deref(session);  // sends BYE or CANCEL while the dialog lives
  }
  void StopStreams() {
    IAudioControl* audio = media.AudioControl();
    if (source && audio) audio->StopSendAudioStream(media.Channel());
    if (recording && audio) audio->StopRecordAudioConversation(media.Channel());
    source = nullptr;
    recording = false;
  }

  SipPhone* phone;
  int id;
  bool incoming;
  std::string peer;
  PhoneMedia media;
  sipsess* session = nullptr;
  std::string pendingAnswer;  // our 200 OK body while an incoming call rings
  bool ringing = false;
  bool established = false;
  bool byUs = false;  // we hung up (or the seconds ran out)
  tmr keyTimer;
  tmr hangUpTimer;
  size_t nextKey = 0;
  bool keyDown = false;
  platform::ComPtr<FileAudioSource> source;
  bool recording = false;  // the conversation goes into the record file
};

}  // namespace host
