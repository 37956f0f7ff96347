// The phone book window and entry dialog driven through window messages, with the
// phone book file on disk.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "phonebook/entry_dialog_win32.h"
#include "phonebook/phone_book_window_win32.h"
#include "ui/application.h"

namespace sonavi {
namespace {

class ScriptedBoxes : public MessageBoxes {
 public:
  int Show(const std::string& text, uint32_t flags) override {
    shown.push_back(text);
    if (on_show) on_show();
    if (answers.empty()) return (flags & kMbYesNo) ? kIdNo : kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> shown;
  std::deque<int> answers;
  std::function<void()> on_show;
};

std::string ReadFile(const FilePath& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PhoneBookWindow : public ::testing::Test {
 protected:
  PhoneBookWindow() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = temp + (L"sonavi_phonebook_" + std::to_wstring(GetCurrentProcessId()));
    CreateDirectoryW(dir_.c_str(), nullptr);
    path_ = dir_ + L"\\agenda.dat";
    DeleteFileW(path_.c_str());
  }
  ~PhoneBookWindow() override {
    fagenda_.reset();
    finserir_.reset();
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(dir_.c_str());
  }

  void Create(const std::string& file) {
    if (!file.empty()) std::ofstream(path_.c_str(), std::ios::binary) << file;
    finserir_ = std::make_unique<Tfinserir>();
    Tfagenda::Links links;
    links.entry_dialog = finserir_.get();
    links.send_modem_command = [this](const std::string& command, int timeout_ms) {
      commands_.push_back(command + "/" + std::to_string(timeout_ms));
      panel_visible_.push_back(PanelShown());
      if (while_dialling_) while_dialling_();
      if (replies_.empty()) return std::string();
      const std::string reply = replies_.front();
      replies_.pop_front();
      return reply;
    };
    links.modem_ready = [this] { return modem_ready_; };
    links.toggle_main_window = [this] { ++toggles_; };
    fagenda_ = std::make_unique<Tfagenda>(files_, path_, locale_, boxes_, settings_);
    fagenda_->Link(links);
  }

  HWND Item(int id) const { return GetDlgItem(fagenda_->handle(), id); }
  HWND DialogItem(int id) const { return GetDlgItem(finserir_->handle(), id); }
  // The window itself stays hidden here: look at the panel's own visibility.
  bool PanelShown() const {
    return (GetWindowLongPtrA(Item(Tfagenda::kPanel1), GWL_STYLE) & WS_VISIBLE) != 0;
  }
  HWND Grid() const { return Item(Tfagenda::kSg); }
  int GridSelection() const {
    return static_cast<int>(SendMessageA(Grid(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  }

  static void PostKey(HWND target, WPARAM key) {
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
  }
  static void PostText(HWND target, const std::string& text) {
    for (char c : text) PostMessageA(target, WM_CHAR, static_cast<unsigned char>(c), 1);
  }
  void Pump() { app_.ProcessMessages(); }
  void Press(int id) {
    SendMessageA(fagenda_->handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(id)));
  }
  // Queues what the user types into the entry dialog before it is shown.
  void QueueEntry(const std::string& name, const std::string& phone) {
    PostText(DialogItem(Tfinserir::kEdit1), name);
    PostText(DialogItem(Tfinserir::kEdit2), phone);
    PostKey(DialogItem(Tfinserir::kEdit2), VK_RETURN);
  }
  void Search(const std::string& text) {
    SetWindowTextA(Item(Tfagenda::kEdit1), text.c_str());
    PostKey(Grid(), VK_RETURN);
    Pump();
  }

  ui::Application app_{GetModuleHandleA(nullptr)};
  FilePath dir_;
  FilePath path_;
  FileSystem& files_ = SystemFileSystem();
  Locale& locale_ = UserLocale();
  ScriptedBoxes boxes_;
  Settings settings_;
  std::vector<std::string> commands_;
  std::vector<bool> panel_visible_;
  std::function<void()> while_dialling_;
  std::deque<std::string> replies_;
  bool modem_ready_ = true;
  int toggles_ = 0;
  std::unique_ptr<Tfinserir> finserir_;
  std::unique_ptr<Tfagenda> fagenda_;
};

TEST_F(PhoneBookWindow, LayoutAndParent) {
  Create("");
  HWND window = fagenda_->handle();
  EXPECT_FALSE(IsWindowVisible(window));
  char caption[32] = {};
  GetWindowTextA(window, caption, sizeof(caption));
  EXPECT_STREQ(caption, "Agenda");
  // Its own taskbar button: no owner.
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, 600);
  EXPECT_EQ(outer.bottom - outer.top, 400);
  EXPECT_EQ(SendMessageA(Grid(), LVM_GETCOLUMNWIDTH, 0, 0), 389);
  EXPECT_EQ(SendMessageA(Grid(), LVM_GETCOLUMNWIDTH, 1, 0), 157);
  EXPECT_EQ(SendMessageA(Grid(), LVM_GETITEMCOUNT, 0, 0), 1);  // the blank row

  MINMAXINFO limits = {};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 600);
  EXPECT_EQ(limits.ptMinTrackSize.y, 200);

  // Growing the window: the grid follows, the search box stays, the buttons go right.
  RECT grid_before, edit_before, dial_before;
  GetWindowRect(Grid(), &grid_before);
  GetWindowRect(Item(Tfagenda::kEdit1), &edit_before);
  GetWindowRect(Item(Tfagenda::kButton2), &dial_before);
  SetWindowPos(window, nullptr, 0, 0, 700, 450, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT grid_after, edit_after, dial_after;
  GetWindowRect(Grid(), &grid_after);
  GetWindowRect(Item(Tfagenda::kEdit1), &edit_after);
  GetWindowRect(Item(Tfagenda::kButton2), &dial_after);
  EXPECT_EQ(grid_after.right - grid_after.left, grid_before.right - grid_before.left + 100);
  EXPECT_EQ(grid_after.bottom - grid_after.top, grid_before.bottom - grid_before.top + 50);
  EXPECT_EQ(edit_after.left - edit_before.left, 0);
  EXPECT_EQ(edit_after.top - edit_before.top, 50);
  EXPECT_EQ(dial_after.left - dial_before.left, 100);
}

TEST_F(PhoneBookWindow, AddThroughTheEntryDialogSortsAndSaves) {
  Create("Zé;1\r\n");
  QueueEntry("  ana  ", "219876543");
  Press(Tfagenda::kBadicionar);
  EXPECT_EQ(ReadFile(path_), "ana;219876543\r\nZé;1\r\n");
  EXPECT_EQ(fagenda_->LookupName("219876543"), "ana");
  EXPECT_EQ(SendMessageA(Grid(), LVM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(PhoneBookWindow, RefusedEntryKeepsTheDialogOpenUntilCancel) {
  Create("");
  QueueEntry("   ", "21");
  QueueEntry("Ana", "2;1");
  PostKey(DialogItem(Tfinserir::kEdit1), VK_ESCAPE);
  Press(Tfagenda::kBadicionar);
  EXPECT_FALSE(files_.Exists(path_));
  EXPECT_TRUE(fagenda_->book().empty());
  EXPECT_FALSE(IsWindowVisible(finserir_->handle()));
}

TEST_F(PhoneBookWindow, EntryDialogKeys) {
  Create("Ana;1\r\n");
  // Alt+C cancels; Return on "&Cancelar" cancels; Alt+O confirms.
  PostText(DialogItem(Tfinserir::kEdit1), "Bruno");
  PostText(DialogItem(Tfinserir::kEdit2), "2");
  PostMessageA(DialogItem(Tfinserir::kEdit2), WM_SYSCHAR, 'c', 1 << 29);
  Press(Tfagenda::kBadicionar);
  PostText(DialogItem(Tfinserir::kEdit1), "Bruno");
  PostText(DialogItem(Tfinserir::kEdit2), "2");
  PostKey(DialogItem(Tfinserir::kButton1), VK_RETURN);
  Press(Tfagenda::kBadicionar);
  EXPECT_EQ(ReadFile(path_), "Ana;1\r\n");
  PostText(DialogItem(Tfinserir::kEdit1), "Bruno");
  PostText(DialogItem(Tfinserir::kEdit2), "2");
  PostMessageA(DialogItem(Tfinserir::kEdit1), WM_SYSCHAR, 'O', 1 << 29);
  Press(Tfagenda::kBadicionar);
  EXPECT_EQ(ReadFile(path_), "Ana;1\r\nBruno;2\r\n");
}

TEST_F(PhoneBookWindow, DoubleClickEditsTheSelectedRow) {
  Create("Ana;1\r\nBruno;2\r\n");
  Search("bru");
  ASSERT_EQ(GridSelection(), 1);
  PostText(DialogItem(Tfinserir::kEdit1), "Abel");  // replaces the selected name
  PostKey(DialogItem(Tfinserir::kEdit1), VK_RETURN);
  NMHDR header = {Grid(), static_cast<UINT_PTR>(Tfagenda::kSg), static_cast<UINT>(NM_DBLCLK)};
  SendMessageA(fagenda_->handle(), WM_NOTIFY, Tfagenda::kSg, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(ReadFile(path_), "Abel;2\r\nAna;1\r\n");
}

TEST_F(PhoneBookWindow, ReturnSearchesFromTheGridAndWrapsAround) {
  Create("Ana;219876543\r\nBruno;300\r\nMariana;912100000\r\n");
  Search("ANA");
  EXPECT_EQ(GridSelection(), 2);
  PostKey(Grid(), VK_RETURN);
  Pump();
  EXPECT_EQ(GridSelection(), 0);
  PostKey(Item(Tfagenda::kEdit1), VK_RETURN);  // from the search box too
  Pump();
  EXPECT_EQ(GridSelection(), 2);
  Search("nobody");
  EXPECT_EQ(GridSelection(), 2);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(PhoneBookWindow, DeleteInTheGridAndReturnOnRemoverAsk) {
  Create("Ana;1\r\nBruno;2\r\n");
  boxes_.answers = {kIdNo};
  PostKey(Item(Tfagenda::kBremover), VK_RETURN);
  Pump();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "Deseja eliminar este registo?");
  EXPECT_EQ(ReadFile(path_), "Ana;1\r\nBruno;2\r\n");

  boxes_.answers = {kIdYes, kIdYes};
  PostKey(Grid(), VK_DELETE);
  Pump();
  EXPECT_EQ(ReadFile(path_), "Bruno;2\r\n");
  PostKey(Grid(), VK_DELETE);
  Pump();
  EXPECT_EQ(ReadFile(path_), ";\r\n");
  EXPECT_EQ(SendMessageA(Grid(), LVM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(PhoneBookWindow, AcceleratorsAndEscape) {
  Create("Ana;1\r\n");
  PostMessageA(Item(Tfagenda::kEdit1), WM_SYSCHAR, 'z', 1 << 29);
  Pump();
  EXPECT_EQ(toggles_, 1);
  PostText(Item(Tfagenda::kEdit1), "z");  // text in the search box
  Pump();
  EXPECT_EQ(toggles_, 1);
  char text[8] = {};
  GetWindowTextA(Item(Tfagenda::kEdit1), text, sizeof(text));
  EXPECT_STREQ(text, "z");
  PostText(Grid(), "Z");
  Pump();
  EXPECT_EQ(toggles_, 2);
  PostText(Grid(), "r");  // "&Remover" from the grid
  Pump();
  EXPECT_EQ(boxes_.shown.size(), 1u);

  fagenda_->Show();
  EXPECT_TRUE(IsWindowVisible(fagenda_->handle()));
  EXPECT_EQ(GetFocus(), Item(Tfagenda::kEdit1));
  PostKey(Item(Tfagenda::kEdit1), VK_ESCAPE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(fagenda_->handle()));
  EXPECT_EQ(fagenda_->LookupName("1"), "Ana");  // hiding keeps the table
}

TEST_F(PhoneBookWindow, DialShowsTheCentredPanelWhileTheModemWorks) {
  settings_.speaker_off = true;
  Create("Ana;219876543\r\n");
  replies_ = {"OK", "OK", "OK"};
  std::vector<bool> panel_during_box;
  boxes_.on_show = [&] { panel_during_box.push_back(PanelShown()); };
  // The window made larger while the panel is up: the panel stays in the middle.
  while_dialling_ = [this] {
    SetWindowPos(fagenda_->handle(), nullptr, 0, 0, 700, 480, SWP_NOMOVE | SWP_NOZORDER);
  };
  Press(Tfagenda::kButton2);
  EXPECT_EQ(commands_,
            (std::vector<std::string>{"AT/2000", "ATM0/2000", "ATDT219876543;/2000", "ATH0/2000"}));
  EXPECT_EQ(panel_visible_, (std::vector<bool>{true, true, true, false}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0],
            "Número marcado, levante o auscultador do telefone e em seguida clique OK.");
  EXPECT_EQ(panel_during_box, std::vector<bool>{false});

  RECT client, panel;
  GetClientRect(fagenda_->handle(), &client);
  GetWindowRect(Item(Tfagenda::kPanel1), &panel);
  MapWindowPoints(nullptr, fagenda_->handle(), reinterpret_cast<POINT*>(&panel), 2);
  EXPECT_EQ(panel.left, client.right / 2 - 177 / 2);
  EXPECT_EQ(panel.top, client.bottom / 2 - 49 / 2);
  EXPECT_EQ(panel.right - panel.left, 177);

  commands_.clear();
  modem_ready_ = false;
  Press(Tfagenda::kButton2);
  EXPECT_TRUE(commands_.empty());
  EXPECT_EQ(boxes_.shown.back(), "Não é possível comunicar com o modem.");
}

}  // namespace
}  // namespace sonavi
