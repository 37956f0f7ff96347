// sonavi_probe: reads back what the screen shows of another program's windows, for the
// scenario scripts in tests/wine/. Texts are printed as the windows hold them (Windows-1252),
// one item per line, window handles in hexadecimal. With SONAVI_PROBE_DESKTOP set it looks
// at the windows of that Wine desktop.
//
//   sonavi_probe windows                 every top-level window: hwnd visible class "text" rect
//   sonavi_probe children HWND           its child windows: hwnd id visible class "text"
//   sonavi_probe find CLASS TITLE        visible top-level windows with that class and title
//                                        ("*" matches any); exit 1 when there is none
//   sonavi_probe text HWND               the window's text
//   sonavi_probe focus HWND              the window that has the keyboard focus in HWND's thread
//   sonavi_probe rect HWND               left top right bottom on the screen
//   sonavi_probe command HWND ID         posts the window a menu or button command ID
//   sonavi_probe combo HWND              selected index, then one line per item
//   sonavi_probe checked HWND            1 when the check box is ticked, else 0
//   sonavi_probe tips                    the text of every visible tip (not balloons)
//   sonavi_probe balloons                every visible balloon: hwnd text
//   sonavi_probe menu                    the rectangle of the visible popup menu
//   sonavi_probe taskbar-created         tells every top-level window that the taskbar was
//                                        created again, as the shell does after a restart
//   sonavi_probe tray-forget CLASS       the shell forgets icon 1 of the window of that class,
//                                        as when the shell restarts
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string WindowText(HWND window) {
  std::vector<char> buffer(1 << 20);
  SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return buffer.data();
}

std::string ClassName(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

HWND ParseHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 16)));
}

void PrintWindow(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  std::printf("%llx %d %s \"%s\" %ld %ld %ld %ld\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
              IsWindowVisible(window) ? 1 : 0, ClassName(window).c_str(),
              WindowText(window).c_str(), r.left, r.top, r.right, r.bottom);
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM param) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// A visible tooltip: the tip of an icon, or (balloon true) a balloon.
bool IsTip(HWND window, bool balloon) {
  if (!IsWindowVisible(window) || ClassName(window) != "tooltips_class32") return false;
  const bool is_balloon = (GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON) != 0;
  return is_balloon == balloon;
}

bool Matches(const std::string& pattern, const std::string& value) {
  return pattern == "*" || pattern == value;
}

int Usage() {
  std::fprintf(stderr,
               "usage: sonavi_probe windows | children HWND | find CLASS TITLE | text HWND |"
               " focus HWND | rect HWND | command HWND ID | combo HWND |"
               " checked HWND | tips | balloons | menu |"
               " taskbar-created |"
               " tray-forget CLASS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return Usage();
  // A program started in a Wine desktop of its own is looked at from inside that desktop.
  if (const char* desktop = std::getenv("SONAVI_PROBE_DESKTOP"); desktop && *desktop) {
    HDESK handle = OpenDesktopA(desktop, 0, FALSE, GENERIC_ALL);
    if (handle == nullptr || !SetThreadDesktop(handle)) {
      std::fprintf(stderr, "no desktop %s\n", desktop);
      return 2;
    }
  }
  const std::string command = argv[1];
  if (command == "windows") {
    for (HWND window : TopLevelWindows()) PrintWindow(window);
    return 0;
  }
  if (command == "children" && argc == 3) {
    for (HWND child = GetWindow(ParseHandle(argv[2]), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      std::printf("%llx %d %d %s \"%s\"\n",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(child)),
                  GetDlgCtrlID(child), IsWindowVisible(child) ? 1 : 0, ClassName(child).c_str(),
                  WindowText(child).c_str());
    }
    return 0;
  }
  if (command == "find" && argc == 4) {
    int found = 0;
    for (HWND window : TopLevelWindows()) {
      if (IsWindowVisible(window) && Matches(argv[2], ClassName(window)) &&
          Matches(argv[3], WindowText(window))) {
        std::printf("%llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
        ++found;
      }
    }
    return found > 0 ? 0 : 1;
  }
  if (command == "text" && argc == 3) {
    HWND window = ParseHandle(argv[2]);
    if (!IsWindow(window)) return 1;
    std::printf("%s\n", WindowText(window).c_str());
    return 0;
  }
  if (command == "focus" && argc == 3) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(ParseHandle(argv[2]), nullptr);
    if (thread == 0 || !GetGUIThreadInfo(thread, &info)) return 1;
    std::printf("%llx\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(info.hwndFocus)));
    return 0;
  }
  if (command == "rect" && argc == 3) {
    RECT r = {};
    if (!GetWindowRect(ParseHandle(argv[2]), &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (command == "command" && argc == 4) {
    return PostMessageA(ParseHandle(argv[2]), WM_COMMAND, std::strtoul(argv[3], nullptr, 10), 0)
               ? 0
               : 1;
  }
  if (command == "combo" && argc == 3) {
    HWND combo = ParseHandle(argv[2]);
    if (!IsWindow(combo)) return 1;
    std::printf("%d\n", static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)));
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      // The wide form: Wine hands the narrow one across processes as wide text.
      wchar_t item[512] = {};
      char narrow[1024] = {};
      if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 512) {
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        WideCharToMultiByte(CP_ACP, 0, item, -1, narrow, sizeof narrow, nullptr, nullptr);
      }
      std::printf("%s\n", narrow);
    }
    return 0;
  }
  if (command == "checked" && argc == 3) {
    HWND box = ParseHandle(argv[2]);
    if (!IsWindow(box)) return 1;
    std::printf("%d\n", SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    return 0;
  }
  if (command == "tips") {
    for (HWND window : TopLevelWindows()) {
      if (IsTip(window, false)) std::printf("%s\n", WindowText(window).c_str());
    }
    return 0;
  }
  if (command == "balloons") {
    // Each balloon that the tray shows is a window of its own.
    for (HWND window : TopLevelWindows()) {
      if (IsTip(window, true)) {
        std::printf("%llx %s\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                    WindowText(window).c_str());
      }
    }
    return 0;
  }
  if (command == "menu") {
    for (HWND window : TopLevelWindows()) {
      RECT r = {};
      if (IsWindowVisible(window) && ClassName(window) == "#32768" && GetWindowRect(window, &r)) {
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
      }
    }
    return 1;
  }
  if (command == "taskbar-created") {
    const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message != 0 && PostMessageA(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
  }
  if (command == "tray-forget" && argc == 3) {
    HWND owner = FindWindowA(argv[2], nullptr);
    if (owner == nullptr) return 1;
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = 1;
    return Shell_NotifyIconA(NIM_DELETE, &data) ? 0 : 1;
  }
  return Usage();
}
