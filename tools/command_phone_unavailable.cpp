// medley phone in builds without a SIP stack (the Windows build): the
// command exists and says so.
#include <ostream>

#include "tools/commands.h"

namespace tools {

int RunPhone(const Arguments&, std::ostream&, std::ostream& err) {
  err << "medley phone: this build has no SIP stack\n";
  return 1;
}

}  // namespace tools
