// Program entry: one instance per user session, no taskbar button, the windows created
// in their fixed order, then the message loop.
#include <windows.h>

namespace {

constexpr char kAlreadyRunning[] = "Este programa já se encontra em execução.";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The handle stays open for the life of the process.
  CreateMutexA(nullptr, FALSE, "Sonavi");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxA(nullptr, kAlreadyRunning, "Sonavi", MB_OK | MB_ICONERROR);
    return 0;
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
