// medley --version: the program's version (the project's one version number)
// and the version text of the voice engine it runs on.
#include <ostream>

#include "audio/ks_voice_engine.h"
#include "platform/bstr.h"
#include "tools/commands.h"

namespace tools {

int PrintVersion(std::ostream& out, std::ostream& err) {
  out << "medley " << MEDLEY_VERSION << "\n";
  CKsVoiceEngine engine;
  platform::BString version;
  if (FAILED(engine.Init()) || FAILED(engine.GetVersion(version.Receive()))) {
    err << "medley: the voice engine did not start\n";
    return 1;
  }
  out << "voice engine: " << version.Narrow() << "\n";
  return 0;
}

}  // namespace tools
