// The call list window on screen: layout, grid contents, selection, Escape, "Limpar".
#include "calllog/call_list_window_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>

#include "ui/application.h"

namespace sonavi {
namespace {

class FixedClock : public Clock {
 public:
  uint32_t TickCount() override { return 0; }
  void Sleep(uint32_t) override {}
  LocalTime Now() override { return now; }
  LocalTime now{2005, 1, 5, 20, 54, 0};
};

class ScriptedBoxes : public MessageBoxes {
 public:
  int Show(const std::string& text, uint32_t flags) override {
    texts.push_back(text);
    if (grid) selected_rows.push_back(ListView_GetNextItem(grid, -1, LVNI_SELECTED));
    last_flags = flags;
    if (answers.empty()) return kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> texts;
  uint32_t last_flags = 0;
  std::deque<int> answers;
  HWND grid = nullptr;  // when set, its selected row at each box goes to selected_rows
  std::vector<int> selected_rows;
};

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

class CallListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = temp + (L"sonavi_listcham_" + std::to_wstring(GetCurrentProcessId()) + L".dat");
    DeleteFileW(path_.c_str());
  }
  void TearDown() override {
    window_.reset();
    DeleteFileW(path_.c_str());
  }
  Tlistcham& Open() {
    window_ = std::make_unique<Tlistcham>(SystemFileSystem(), clock_, UserLocale(), boxes_, path_);
    return *window_;
  }
  std::string Cell(int row, int column) {
    char text[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(window_->grid_handle(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  std::string File() {
    std::string contents;
    SystemFileSystem().ReadAll(path_, &contents);
    return contents;
  }

  ui::Application app_{GetModuleHandleA(nullptr)};
  FixedClock clock_;
  ScriptedBoxes boxes_;
  FilePath path_;
  std::unique_ptr<Tlistcham> window_;
};

TEST_F(CallListWindowTest, LayoutTitlesAndOwnTaskbarButton) {
  Tlistcham& window = Open();
  EXPECT_EQ(WindowText(window.handle()), "Lista de Chamadas");
  RECT rect;
  GetWindowRect(window.handle(), &rect);
  EXPECT_EQ(rect.right - rect.left, 597);
  EXPECT_EQ(rect.bottom - rect.top, 339);
  EXPECT_EQ(GetWindow(window.handle(), GW_OWNER), nullptr);
  EXPECT_TRUE(GetWindowLongA(window.handle(), GWL_STYLE) & WS_THICKFRAME);
  EXPECT_FALSE(window.Visible());

  const char* titles[] = {"Data", "Hora", "Telefone", "Nome"};
  const int widths[] = {97, 100, 117, 220};
  for (int column = 0; column < 4; ++column) {
    char text[64] = {};
    LVCOLUMNA info = {};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.pszText = text;
    info.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(window.grid_handle(), LVM_GETCOLUMNA, column,
                             reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(std::string(text), titles[column]);
    EXPECT_EQ(info.cx, widths[column]);
  }
  // No file: one empty row.
  EXPECT_EQ(window.GridRowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "");

  // The grid follows the window's size.
  RECT before;
  GetWindowRect(window.grid_handle(), &before);
  SetWindowPos(window.handle(), nullptr, 0, 0, 697, 439, SWP_NOMOVE | SWP_NOZORDER);
  RECT after;
  GetWindowRect(window.grid_handle(), &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 100);
}

TEST_F(CallListWindowTest, CallsFillTheGridAndTheFile) {
  Tlistcham& window = Open();
  ASSERT_TRUE(window.AddCall("219876543", "Jo\xE3o").ok());
  clock_.now = {2005, 1, 6, 9, 5, 7};
  ASSERT_TRUE(window.AddCall("Confidencial", "").ok());
  EXPECT_EQ(window.GridRowCount(), 2);
  EXPECT_EQ(window.GridSelectedRow(), 1);
  EXPECT_EQ(Cell(0, 3), "Jo\xE3o");
  EXPECT_EQ(Cell(1, 0), "06-01-2005");
  EXPECT_EQ(Cell(1, 1), "09:05:07");
  EXPECT_EQ(Cell(1, 2), "Confidencial");
  EXPECT_EQ(File(),
            "05-01-2005;20:54:00;219876543;Jo\xE3o\r\n"
            "06-01-2005;09:05:07;Confidencial;\r\n");
}

TEST_F(CallListWindowTest, ShowingSelectsTheNewestAndEscapeHides) {
  ASSERT_TRUE(SystemFileSystem().Append(path_, "a;1;2;3\r\nb;1;2;3\r\nc;1;2;3\r\n").ok());
  Tlistcham& window = Open();
  EXPECT_EQ(window.GridRowCount(), 3);
  EXPECT_EQ(window.GridSelectedRow(), 0);
  window.Show();
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(window.GridSelectedRow(), 2);

  PostMessageA(window.grid_handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  app_.ProcessMessages();
  EXPECT_FALSE(window.Visible());

  // A call recorded while hidden is there, current, when shown again.
  window.Show();
  ASSERT_TRUE(window.AddCall("5", "").ok());
  window.Hide();
  window.Show();
  EXPECT_EQ(window.GridSelectedRow(), 3);
}

TEST_F(CallListWindowTest, AClickBelowTheRowsKeepsTheCurrentRow) {
  Tlistcham& window = Open();
  for (const char* number : {"1", "2", "3"}) ASSERT_TRUE(window.AddCall(number, "").ok());
  const auto click = [&](int y) {
    SendMessageA(window.grid_handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, y));
    SendMessageA(window.grid_handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, y));
  };
  RECT first;
  ASSERT_TRUE(ListView_GetItemRect(window.grid_handle(), 0, &first, LVIR_BOUNDS));
  click((first.top + first.bottom) / 2);
  ASSERT_EQ(window.GridSelectedRow(), 0);
  click(200);  // the grid is 292 high, three rows end near 70
  EXPECT_EQ(window.GridSelectedRow(), 0);
}

// The list view runs the window's popup menu from inside its right button-down: the menu
// and the question of its "Limpar" come with the current row selected.
TEST_F(CallListWindowTest, ARightClickBelowTheRowsKeepsTheCurrentRowForItsMenu) {
  Tlistcham& window = Open();
  for (const char* number : {"1", "2", "3"}) ASSERT_TRUE(window.AddCall(number, "").ok());
  boxes_.grid = window.grid_handle();
  boxes_.answers = {kIdNo};
  const LPARAM below = MAKELPARAM(20, 200);
  PostMessageA(window.grid_handle(), WM_RBUTTONUP, 0, below);  // ends the list view's drag check
  PostMessageA(window.grid_handle(), WM_KEYDOWN, VK_DOWN, 0);  // "Limpar" in the menu
  PostMessageA(window.grid_handle(), WM_CHAR, '\r', 0);
  SendMessageA(window.grid_handle(), WM_RBUTTONDOWN, MK_RBUTTON, below);
  EXPECT_EQ(boxes_.selected_rows, std::vector<int>{2});
}

TEST_F(CallListWindowTest, LimparAsksAndClears) {
  Tlistcham& window = Open();
  ASSERT_TRUE(window.AddCall("1", "").ok());
  ASSERT_TRUE(window.AddCall("2", "").ok());
  boxes_.answers = {kIdNo};
  window.Limpar1Click();
  EXPECT_EQ(window.GridRowCount(), 2);
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_EQ(boxes_.texts[0], "Deseja eliminar todos os registos?");
  EXPECT_EQ(boxes_.last_flags, 36u);

  boxes_.answers = {kIdYes};
  window.Limpar1Click();
  EXPECT_EQ(window.GridRowCount(), 1);
  EXPECT_FALSE(SystemFileSystem().Exists(path_));
  EXPECT_EQ(Cell(0, 2), "");
}

TEST_F(CallListWindowTest, FailedAppendKeepsTheRowAndReturnsTheSystemsText) {
  path_ += L"\\no\\such\\folder\\listcham.dat";
  Tlistcham& window = Open();
  const Status status = window.AddCall("219876543", "");
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(status.message().empty());
  EXPECT_EQ(Cell(0, 2), "219876543");
  EXPECT_TRUE(boxes_.texts.empty());  // the caller shows it
}

}  // namespace
}  // namespace sonavi
