#include <cstdio>
#include <ostream>

#include "audio/ks_voice_engine.h"
#include "platform/bstr.h"
#include "tools/commands.h"

namespace tools {

int RunCodecs(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    err << "medley codecs: unexpected argument '" << args.front() << "'\n";
    return 2;
  }
  CKsVoiceEngine engine;
  HRESULT hr = engine.Init();
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    err << "medley codecs: the voice engine did not start (" << code << ")\n";
    return 1;
  }
  platform::BString version;
  if (SUCCEEDED(engine.GetVersion(version.Receive()))) out << "# " << version.Narrow() << "\n";

  LONG count = 0;
  hr = engine.GetNumOfCodecs(&count);
  if (FAILED(hr)) count = 0;
  char line[160];
  std::snprintf(line, sizeof line, "%-4s %-16s %6s %7s %6s %3s %7s\n", "pt", "name", "clock",
                "samples", "ms", "ch", "bitrate");
  out << line;
  for (LONG i = 0; i < count && i <= 0x7FFF; ++i) {
    CodecDescriptor codec;
    hr = engine.GetCodecAt(static_cast<SHORT>(i), &codec);
    if (FAILED(hr)) {
      std::snprintf(line, sizeof line, "0x%08X", static_cast<unsigned>(hr));
      err << "medley codecs: reading codec " << i << " failed (" << line << ")\n";
      return 1;
    }
    std::string name = platform::WideToNarrow(codec.name);
    int milliseconds = codec.frequency > 0 ? codec.packetSize * 1000 / codec.frequency : 0;
    std::snprintf(line, sizeof line, "%-4d %-16s %6d %7d %6d %3d %7d\n",
                  static_cast<int>(codec.payloadType), name.c_str(),
                  static_cast<int>(codec.frequency), static_cast<int>(codec.packetSize),
                  milliseconds, static_cast<int>(codec.channels), static_cast<int>(codec.rate));
    out << line;
  }
  return 0;
}

}  // namespace tools
