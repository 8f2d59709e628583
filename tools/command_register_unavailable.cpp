// medley register / unregister where the system registers COM servers
// itself: regsvr32 does the work.
#include <ostream>

#include "tools/commands.h"

namespace tools {
namespace {

int UseRegsvr32(const char* command, const char* flag, std::ostream& err) {
  err << "medley " << command << ": use \"regsvr32 " << flag << "medley.dll\" on this system\n";
  return 1;
}

}  // namespace

int RunRegister(const Arguments&, std::ostream&, std::ostream& err) {
  return UseRegsvr32("register", "", err);
}

int RunUnregister(const Arguments&, std::ostream&, std::ostream& err) {
  return UseRegsvr32("unregister", "/u ", err);
}

}  // namespace tools
