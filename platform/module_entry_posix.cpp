// What DllMain does at process attach, run by the shared library's
// constructor when the library is loaded. The module state (the lock count)
// needs no set-up, and there is nothing to tear down at unload that the
// library's own static destructors do not do (tracing then would use a trace
// hook that may already be destroyed), so there is no destructor.
#include "platform/trace.h"

namespace {

__attribute__((constructor)) void ModuleAttach() { platform::Trace("DllMain, process attach\n"); }

}  // namespace
