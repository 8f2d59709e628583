#include "platform/message_queue.h"

namespace platform {

bool PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return false;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

bool PumpMessagesFor(DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!PumpMessages()) return false;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

}  // namespace platform
