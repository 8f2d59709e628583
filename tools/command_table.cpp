#include "tools/commands.h"

namespace tools {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {"codecs", "list the voice engine's codecs",
       "usage: medley codecs\n"
       "\n"
       "Lists the codecs of the voice engine, read through the plug-in's engine\n"
       "adapter, one line each: payload type, name, clock rate in Hz, samples per\n"
       "packet (and the packet time), channels and bit rate. The first line gives\n"
       "the engine's version text.\n",
       RunCodecs},
      {"offer", "print this endpoint's SDP offer for an audio call",
       "usage: medley offer [--prefer LIST] [--ip ADDR] [--port N]\n"
       "\n"
       "Prints the SDP offer this endpoint makes for an audio call: one audio line\n"
       "with the voice engine's codecs that LIST enables, in LIST's order, their\n"
       "rtpmap attributes and the connection address.\n"
       "\n"
       "  --prefer LIST  codec names in preference order, separated by commas\n"
       "                 (default G722,AMR-WB,PCMU,PCMA,G729,GSM,AMR,telephone-event;\n"
       "                 \"medley codecs\" lists what the engine has; CN is never\n"
       "                 offered, as silence suppression is off)\n"
       "  --ip ADDR      this endpoint's address (default: the first non-loopback\n"
       "                 IPv4 address, else 127.0.0.1)\n"
       "  --port N       preferred RTP port (default 40000); the first port from N\n"
       "                 upward in steps of 2 that is free on 127.0.0.1 is used\n",
       RunOffer},
      {"answer", "print the SDP answer to an offer read from FILE or standard input",
       "usage: medley answer [--prefer LIST] [--ip ADDR] [--port N] [FILE]\n"
       "\n"
       "Reads an SDP offer from FILE (or standard input when FILE is missing or -)\n"
       "and prints this endpoint's answer. Each audio line is answered with the\n"
       "codecs both sides have, in LIST's order and with the offer's payload\n"
       "numbers; a line with nothing in common, or offered with port 0, is answered\n"
       "with port 0 (exit status 0). Lines of other media are turned down with\n"
       "port 0. Text that is not SDP gives a message and exit status 1.\n"
       "\n"
       "  --prefer LIST  codec names in preference order, separated by commas\n"
       "                 (default G722,AMR-WB,PCMU,PCMA,G729,GSM,AMR,telephone-event)\n"
       "  --ip ADDR      this endpoint's address (default: the first non-loopback\n"
       "                 IPv4 address, else 127.0.0.1)\n"
       "  --port N       preferred RTP port (default 40000), as for medley offer\n",
       RunAnswer},
      {"devices", "list the video capture devices and the resolutions they support",
       "usage: medley devices\n"
       "\n"
       "Lists the video capture devices in the order the system enumerates them:\n"
       "each device's name, its device path (what a host remembers it by), and the\n"
       "image resolutions it can capture, checked the way a host checks them with\n"
       "all sizes allowed (4CIF counts as supported when the device offers\n"
       "640x480). A machine without cameras prints\n"
       "\"No video capture devices.\" and exits with status 0.\n",
       RunDevices},
      {"call", "run an audio call between two handler objects on this machine",
       "usage: medley call [--prefer LIST] [--callee-prefer LIST] [--port N] [--callee-port N]\n"
       "                   [--play FILE] [--callee-play FILE] [--record FILE] [--seconds N]\n"
       "\n"
       "Makes two media handler objects through the component's entry points (the\n"
       "class factory of Medley.GipsMediaHandler), one for each end of a call, and\n"
       "lets them call each other on 127.0.0.1 through the voice engine, driven the\n"
       "way a softphone drives its plug-in: the caller reserves a channel and writes\n"
       "its offer; the callee checks for a common codec, reserves a channel and\n"
       "writes its answer; each side sets its receive parameters, listens, plays\n"
       "out, sets its send parameters from the other's description and sends; then\n"
       "both hang up (stop sending, playout and listening, release the channel).\n"
       "Prints every step with its result, and the offer and the answer. While the\n"
       "call is up it prints, once a second, the speaker level (0 to 100 %) that\n"
       "each end hears on its channel.\n"
       "Exit status 0 for a whole call, 1 when a step failed or the callee turned the\n"
       "line down.\n"
       "\n"
       "  --prefer LIST         the caller's codec names in preference order, separated\n"
       "                        by commas (default G722,AMR-WB,PCMU,PCMA,G729,GSM,AMR,\n"
       "                        telephone-event)\n"
       "  --callee-prefer LIST  the callee's (default: the caller's)\n"
       "  --port N              the caller's preferred RTP port (default 40000)\n"
       "  --callee-port N       the callee's preferred RTP port (default 42000)\n"
       "  --play FILE           the caller sends this WAV file into the call (mixed\n"
       "                        with its microphone); the call lasts as long as the file\n"
       "  --callee-play FILE    the callee sends this WAV file into the call; with --play\n"
       "                        the call lasts as long as the longer file\n"
       "  --record FILE         records the caller's conversation, both directions,\n"
       "                        into this WAV file\n"
       "  --seconds N           how long the call stays up (default: the played file's\n"
       "                        length; 3 seconds when only recording; else the\n"
       "                        call hangs up as soon as it is up)\n",
       RunCall},
      {"phone", "a SIP phone on the plug-in: take calls or make one",
       "usage: medley phone --listen ADDR:PORT [--auto-answer] [OPTIONS]\n"
       "       medley phone --dial SIP-URI [--listen ADDR:PORT] [OPTIONS]\n"
       "\n"
       "A SIP user agent whose calls carry their audio through the plug-in, loaded\n"
       "as a softphone loads it (registered into a private registry file, created\n"
       "by ProgID). With --listen it takes calls until interrupted: each rings until\n"
       "Enter is pressed, or is answered at once with --auto-answer. With --dial it\n"
       "calls SIP-URI and ends when that call ends. One line per call event on\n"
       "standard output: \"call N incoming from URI\", \"ringing\", \"answered\",\n"
       "\"codec NAME/RATE\", \"on hold\", \"resumed\", \"dtmf sent K\", \"hung up by us\"\n"
       "or \"by peer\", \"cancelled by peer\", \"refused STATUS REASON\" (ours) or\n"
       "\"refused by peer STATUS REASON\". Exit status 0 when the call was set up and\n"
       "ended normally (or, listening, when interrupted), 1 otherwise.\n"
       "\n"
       "  --listen ADDR:PORT  local SIP address on UDP (dialling: default the\n"
       "                      address that reaches the called host, any free\n"
       "                      port); ADDR is also the media address\n"
       "  --auto-answer       answer incoming calls at once\n"
       "  --play FILE         send this WAV file into the first call (else the\n"
       "                      microphone)\n"
       "  --record FILE       record the first call, both directions, into this WAV\n"
       "                      file\n"
       "  --dtmf KEYS         press these keys (RFC 4733 events) once a call is up\n"
       "  --seconds N         hang up each call N seconds after it is up\n"
       "  --prefer LIST       codec names in preference order, separated by commas\n"
       "                      (default G722,AMR-WB,PCMU,PCMA,G729,GSM,AMR,telephone-event)\n"
       "  --rtp-port N        first RTP port tried for a call (default 40000); each\n"
       "                      call takes the first free one from N upward in steps of 2\n"
       "  --register URI --user NAME --password SECRET\n"
       "                      register as sip:NAME@ at the registrar URI, answering\n"
       "                      its digest challenge; a refusal ends the phone\n",
       RunPhone},
      {"register", "register the component for this user, as regsvr32 does",
       "usage: medley register\n"
       "\n"
       "Loads the component and calls its DllRegisterServer: the class\n"
       "Medley.GipsMediaHandler, its class identifier and the component's file go\n"
       "into the registry file ($MEDLEY_REGISTRY, default ~/.config/medley/registry),\n"
       "where a host's CLSIDFromProgID and CoCreateInstance find them. The\n"
       "component is $MEDLEY_MODULE, else libmedley.so beside this program or in\n"
       "its installed library folder. Installing the package registers nothing.\n"
       "On Windows use \"regsvr32 medley.dll\".\n",
       RunRegister},
      {"unregister", "remove the component's registration for this user",
       "usage: medley unregister\n"
       "\n"
       "Loads the component and calls its DllUnregisterServer, which removes what\n"
       "medley register wrote into the registry file. On Windows use\n"
       "\"regsvr32 /u medley.dll\".\n",
       RunUnregister},
  };
  return commands;
}

}  // namespace tools
