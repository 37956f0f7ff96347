// Looks at the running program's windows from another process, the way a person looks at
// the screen: which windows are up, their titles, the texts and places of their controls,
// which grid row is selected, where the focus is. The scenario scripts drive the program
// with the keyboard and the mouse and use this only to see what happened.
//
//   phonebook_probe [--desktop NAME] dump           every top-level window and its controls
//   phonebook_probe [--desktop NAME] tray MOUSEMSG  posts the tray icon's callback message
//
// With --desktop the probe looks at the windows of that desktop (a Wine virtual desktop
// started with "explorer /desktop=NAME,...") instead of the default one.
//
// Lines of "dump" (texts in the program's own code page, tabs between fields):
//   W hwnd pid class visible enabled left,top,right,bottom title
//   C hwnd parent id class visible enabled left,top,right,bottom text [rows=N sel=K]
//   F foreground-hwnd active-hwnd focus-hwnd   (of the foreground window's thread)
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kTrayCallbackMessage = WM_USER + 1024;

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

// WM_GETTEXT reaches windows of other processes; tabs and line ends become blanks so that
// each window stays on one line.
std::string TextOf(HWND hwnd) {
  char text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 2000, &copied)) {
    return std::string();
  }
  std::string result(text);
  for (char& c : result) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return result;
}

void PrintRect(HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  std::printf("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
}

BOOL CALLBACK PrintChild(HWND hwnd, LPARAM) {
  std::printf("C\t%p\t%p\t%d\t%s\t%d\t%d\t", static_cast<void*>(hwnd),
              static_cast<void*>(GetParent(hwnd)), GetDlgCtrlID(hwnd), ClassOf(hwnd).c_str(),
              IsWindowVisible(hwnd) ? 1 : 0, IsWindowEnabled(hwnd) ? 1 : 0);
  PrintRect(hwnd);
  std::printf("\t%s", TextOf(hwnd).c_str());
  if (ClassOf(hwnd) == WC_LISTVIEWA) {
    // Index messages carry no pointers, so they work across processes.
    const LRESULT rows = SendMessageA(hwnd, LVM_GETITEMCOUNT, 0, 0);
    const LRESULT selected =
        SendMessageA(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0));
    std::printf("\trows=%ld sel=%ld", static_cast<long>(rows), static_cast<long>(selected));
  }
  std::printf("\n");
  return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  std::printf("W\t%p\t%lu\t%s\t%d\t%d\t", static_cast<void*>(hwnd), pid, ClassOf(hwnd).c_str(),
              IsWindowVisible(hwnd) ? 1 : 0, IsWindowEnabled(hwnd) ? 1 : 0);
  PrintRect(hwnd);
  std::printf("\t%s\n", TextOf(hwnd).c_str());
  EnumChildWindows(hwnd, PrintChild, 0);
  return TRUE;
}

int Dump() {
  EnumWindows(PrintTopLevel, 0);
  HWND foreground = GetForegroundWindow();
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  if (thread) GetGUIThreadInfo(thread, &info);
  std::printf("F\t%p\t%p\t%p\n", static_cast<void*>(foreground),
              static_cast<void*>(info.hwndActive), static_cast<void*>(info.hwndFocus));
  return 0;
}

int Tray(const char* mouse_message) {
  HWND tray = FindWindowA("SonaviTrayWindow", nullptr);
  if (!tray) {
    std::fprintf(stderr, "no tray window\n");
    return 1;
  }
  const LPARAM message = std::strtol(mouse_message, nullptr, 0);
  return PostMessageA(tray, kTrayCallbackMessage, 1, message) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Bytes as they are: no "\n" to "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  int arg = 1;
  if (argc > arg + 1 && std::string(argv[arg]) == "--desktop") {
    HDESK desktop = OpenDesktopA(argv[arg + 1], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
      std::fprintf(stderr, "no desktop %s\n", argv[arg + 1]);
      return 1;
    }
    arg += 2;
  }
  const std::string command = argc > arg ? argv[arg] : "";
  if (command == "dump") return Dump();
  if (command == "tray" && argc > arg + 1) return Tray(argv[arg + 1]);
  std::fprintf(stderr, "usage: phonebook_probe [--desktop NAME] dump | tray MOUSEMSG\n");
  return 2;
}
