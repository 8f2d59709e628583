// The stand-in engine's error codes, answered by LastError after an
// operation returned -1. Callers see them as the low word of the adapter's
// failure codes (0x80040000 + code), so they stay below 0x10000.
#pragma once

namespace standin {

enum ErrorCode : int {
  kNoError = 0,
  kNotInitialised = 8001,        // Init has not been called (or Terminate was)
  kUnknownChannel = 8002,        // no channel of that number exists
  kInvalidArgument = 8003,       // null pointer, value out of range, unterminated name
  kInvalidPort = 8005,           // port outside 1..65535 (or -1 where a default exists)
  kUnsupportedCodec = 8006,      // no catalogue codec of that name, or not usable for sending
  kCodecIndexOutOfRange = 8007,  // GetCodec index outside 0..NumOfCodecs()-1
  kBufferTooSmall = 8008,        // GetVersion buffer shorter than the text and its NUL
  kReceiverNotSet = 8009,        // StartListen before SetLocalReceiver
  kDestinationNotSet = 8010,     // StartSend before SetSendDestination
  kTooManyChannels = 8011,       // kMaxChannels channels exist already
  kInterfaceNotHeld = 8012,      // Release on an interface with no reference left
  kOutOfMemory = 8013,
  kInvalidPacketSize = 8014,  // SetSendCodec: the packet size is no packet time the codec is
                              // sent at (10 to 60 ms, in its steps: codec_catalogue.h)
  // Audio files and streams.
  kBadFileData = 8021,        // the data is not of the kind given: not a WAV file, an unknown
                              // magic line; or a file the engine does not play (below 8 kHz
                              // or above 192 kHz, over two channels, a data length the
                              // stream does not hold: files/wav_header.h)
  kStreamWriteFailed = 8022,  // an out-stream or the recording file refused data
  kFileOpenFailed = 8023,     // the recording file could not be created
  // The socket codes sit apart from the others: the media handler retries
  // StartListen on kReceivePortInUse (0x80042713 to it) and reports
  // kSoundDeviceUnavailable at playout start (0x8004271D) as a speaker problem.
  kReceivePortInUse = 10003,        // that RTP or RTCP port is taken (by another channel or
                                    // socket); retry later or choose another port
  kSoundDeviceUnavailable = 10013,  // the playout device could not be opened
};

}  // namespace standin
