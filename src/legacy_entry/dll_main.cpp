// Load and unload entry point of sibdecode.dll.
#if defined(_WIN32)

#include <windows.h>

#include "legacy_entry/process_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // No per-thread state: thread attach and detach notifications are not needed.
      DisableThreadLibraryCalls(instance);
      sibdecode::ConstructProcessState();
      break;
    case DLL_PROCESS_DETACH:
      sibdecode::DestroyProcessState();
      break;
    default:
      break;
  }
  return TRUE;
}

#endif  // _WIN32
