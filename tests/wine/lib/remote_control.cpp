// A remote control for the running program, from another Wine process: reads the
// diagnostic log, reads and closes the error box, confirms the options dialog, tells
// whether the tray icon's window exists. It works through the program's window messages
// (WM_GETTEXT, WM_COMMAND), so it needs no pointer and no screen. Built by
// tests/wine/lib/faults.sh.
//
//   remote_control memo              Form1's log, as it is (Windows-1252 bytes)
//   remote_control error-box         the text of the program's error box; exit 1 when none
//   remote_control dismiss           presses OK on the error box; exit 1 when none
//   remote_control options-ok [PORT] opens "Opções..." through the tray menu's command
//                                    unless the dialog is up, chooses PORT in its list when
//                                    given, and confirms; returns once the dialog has
//                                    closed again (the supervision run that confirming
//                                    starts has ended then)
//   remote_control tray              exit 0 when the tray icon's hidden window exists
//   remote_control wait-tray         prints "ready", then waits (60 s at most, polling
//                                    every 2 ms) for the tray icon's hidden window and
//                                    prints when it came, in QueryPerformanceCounter
//                                    microseconds
//   remote_control syserr CODE       the system's text for an error code, as the program
//                                    shows it
//   remote_control resources         the program's open kernel handles, counted in the
//                                    system's handle table: "handles N"
//   remote_control hold PATH         another program's hold on a file: opens it sharing
//                                    nothing, prints "held" and keeps it open until ended
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr char kFormClass[] = "SonaviForm";
constexpr char kTrayClass[] = "SonaviTrayWindow";
constexpr char kAppTitle[] = "Sonavi";
constexpr char kOptionsTitle[] = "Opções";  // built with -fexec-charset=CP1252
constexpr int kMemoId = 100;
constexpr int kOptionsCommand = 202;  // the tray menu's "Opções..."
constexpr DWORD kAnswerMs = 30000;

struct Search {
  const char* window_class;
  const char* title;
  bool visible_only;
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  char window_class[64] = {};
  char title[256] = {};
  GetClassNameA(window, window_class, sizeof window_class);
  GetWindowTextA(window, title, sizeof title);
  if (std::string(window_class) != search->window_class) return TRUE;
  if (search->title != nullptr && std::string(title) != search->title) return TRUE;
  if (search->visible_only && !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindTop(const char* window_class, const char* title, bool visible_only) {
  Search search{window_class, title, visible_only, nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits, in 50 ms steps, until the window with that class and title is (or is no longer)
// visible.
HWND WaitVisible(const char* window_class, const char* title, bool visible, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindTop(window_class, title, true);
    if ((window != nullptr) == visible) return visible ? window : reinterpret_cast<HWND>(1);
    if (GetTickCount() - start > limit_ms) return nullptr;
    Sleep(50);
  }
}

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerMs, &length)) {
    return std::string();
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, kAnswerMs, &copied);
  text.resize(copied);
  return text;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  char window_class[32] = {};
  GetClassNameA(child, window_class, sizeof window_class);
  std::string* text = reinterpret_cast<std::string*>(param);
  if (std::string(window_class) == "Static" && GetWindowTextLengthA(child) > 0) {
    *text = WindowText(child);
    return FALSE;
  }
  return TRUE;
}

HWND ErrorBox() { return FindTop("#32770", kAppTitle, true); }

int Memo() {
  HWND form = FindTop(kFormClass, "Form1", false);
  if (form == nullptr) return 1;
  HWND memo = GetDlgItem(form, kMemoId);
  if (memo == nullptr) return 1;
  const std::string text = WindowText(memo);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int ErrorBoxText() {
  HWND box = ErrorBox();
  if (box == nullptr) return 1;
  std::string text;
  EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
  std::printf("%s\n", text.c_str());
  return 0;
}

int Dismiss() {
  HWND box = ErrorBox();
  if (box == nullptr) return 1;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  return WaitVisible("#32770", kAppTitle, false, kAnswerMs) != nullptr ? 0 : 1;
}

// Chooses the list entry that reads exactly `port` (plain ASCII); false when there is none.
// The entries are read as UTF-16: across processes Wine hands back only the first
// character of an entry asked for in the ANSI form.
bool ChoosePort(HWND options, const std::string& port) {
  HWND list = FindWindowExA(options, nullptr, "ComboBox", nullptr);
  if (list == nullptr) return false;
  const std::wstring wanted(port.begin(), port.end());
  const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t item[300] = {};
    if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) >= 300) continue;
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    if (wanted == item) return SendMessageW(list, CB_SETCURSEL, i, 0) == i;
  }
  return false;
}

int OptionsOk(const char* port) {
  HWND form = FindTop(kFormClass, "Form1", false);
  if (form == nullptr) {
    std::fprintf(stderr, "remote_control: no Form1\n");
    return 1;
  }
  if (FindTop(kFormClass, kOptionsTitle, true) == nullptr) {
    PostMessageA(form, WM_COMMAND, MAKEWPARAM(kOptionsCommand, BN_CLICKED), 0);
  }
  HWND options = WaitVisible(kFormClass, kOptionsTitle, true, kAnswerMs);
  if (options == nullptr) {
    std::fprintf(stderr, "remote_control: the options dialog did not open\n");
    return 1;
  }
  if (port != nullptr && !ChoosePort(options, port)) {
    std::fprintf(stderr, "remote_control: no entry %s in the options dialog's list\n", port);
    return 1;
  }
  PostMessageA(options, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(options, IDOK)));
  if (WaitVisible(kFormClass, kOptionsTitle, false, kAnswerMs) == nullptr) {
    std::fprintf(stderr, "remote_control: the options dialog did not close\n");
    return 1;
  }
  // The main thread answers again once the supervision run has ended.
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerMs, &ignored) ? 0 : 1;
}

int SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length) : "";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  std::printf("%s\n", text.c_str());
  return text.empty() ? 1 : 0;
}

// Wine answers GetProcessHandleCount and GetGuiResources for another process with 0, but
// lists every process's handles in the system handle table: count the program's entries.
struct HandleEntry {
  ULONG owner_pid;
  BYTE object_type;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};

struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

int Resources() {
  HWND form = FindTop(kFormClass, "Form1", false);
  if (form == nullptr) return 1;
  DWORD id = 0;
  GetWindowThreadProcessId(form, &id);
  const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 1;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::string buffer(1 << 16, '\0');
  LONG status = kInfoLengthMismatch;
  for (int tries = 0; tries < 8 && status == kInfoLengthMismatch; ++tries) {
    ULONG needed = 0;
    status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
  }
  if (status != 0) return 1;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  unsigned handles = 0;
  for (ULONG i = 0; i < table->count; ++i) {
    if (table->entries[i].owner_pid == id) ++handles;
  }
  std::printf("handles %u\n", handles);
  return 0;
}

int WaitTray() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("ready\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (FindTop(kTrayClass, nullptr, false) == nullptr) {
    if (GetTickCount() - start > 60000) return 1;
    Sleep(2);
  }
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  std::printf("%lld\n", now.QuadPart / frequency.QuadPart * 1000000 +
                            now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
  return 0;
}

int Hold(const char* path) {
  if (CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
      INVALID_HANDLE_VALUE) {
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "memo") return Memo();
  if (command == "error-box") return ErrorBoxText();
  if (command == "dismiss") return Dismiss();
  if (command == "options-ok") return OptionsOk(argc > 2 ? argv[2] : nullptr);
  if (command == "wait-tray") return WaitTray();
  if (command == "tray") return FindTop(kTrayClass, nullptr, false) != nullptr ? 0 : 1;
  if (command == "resources") return Resources();
  if (command == "syserr" && argc > 2) return SystemErrorText(std::strtoul(argv[2], nullptr, 10));
  if (command == "hold" && argc > 2) return Hold(argv[2]);
  std::fprintf(stderr,
               "usage: remote_control memo|error-box|dismiss|options-ok [PORT]|tray|wait-tray|"
               "syserr CODE|resources|hold PATH\n");
  return 2;
}
