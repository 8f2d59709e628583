// The DLL's entry point. The component keeps no per-thread state, so thread
// attach and detach notifications are switched off; its module state (the
// lock count) needs no set-up, and nothing is torn down at detach that
// process exit would not take care of.
#include "medley/com_base.h"
#include "platform/trace.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    platform::Trace("DllMain, process attach\n");
  } else if (reason == DLL_PROCESS_DETACH) {
    platform::Trace("DllMain, process detach\n");
  }
  return TRUE;
}
