// Where the medley program finds the component it loads as a host does
// (medley phone, medley register): not on Windows, where the COM runtime
// and regsvr32 find it.
#pragma once

#include <string>

namespace tools {

// The component's file: $MEDLEY_MODULE when set; else libmedley.so beside
// this program (a build tree); else the one installed with this program in
// its prefix's library folder; else the file this program was built with.
std::string ComponentModuleFile();

}  // namespace tools
