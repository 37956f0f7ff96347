// Every window of the program on screens of any pixel density: at the DPI the system gives
// the process and after moves to monitors of the other DPIs, each window has its designed
// size for the DPI, keeps its controls inside it and shows their texts whole, at 7.5 point
// or more. Run by the scenario dpi_layout at 96, 120, 144 and 192 DPI (SONAVI_TEST_DPI), on
// a screen large enough for the windows at 192 DPI; skipped elsewhere.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "about/about_window_win32.h"
#include "app/main_window_win32.h"
#include "calllog/call_list_window_win32.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_registry.h"
#include "phonebook/entry_dialog_win32.h"
#include "phonebook/phone_book_window_win32.h"
#include "settings/options_dialog_win32.h"
#include "ui/application.h"

namespace sonavi {
namespace {

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LONG Scaled(LONG value, UINT dpi) { return MulDiv(value, dpi, 96); }

// A system metric at dpi, where the system has them per DPI (Windows 10).
int Metric(int index, UINT dpi) {
  static const auto for_dpi = reinterpret_cast<int(WINAPI*)(int, UINT)>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi")));
  return for_dpi ? for_dpi(index, dpi) : GetSystemMetrics(index);
}

// A text a control shows, the rectangle it is drawn in, and how (DrawText's format).
struct Piece {
  std::string text;
  RECT area;
  UINT format;
};

// What each kind of control shows, where: a push button inside its raised edge; a check
// box beside its box; a label or link in its client area, wrapped; an edit box in its
// formatting rectangle; a drop-down list's items in its selection field; a grid's first row
// in its cells.
std::vector<Piece> Pieces(HWND control, UINT dpi, const TEXTMETRICA& font) {
  const std::string kind = ClassOf(control);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  RECT area;
  GetClientRect(control, &area);
  if (kind == "Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    area.left += Metric(SM_CXMENUCHECK, dpi) + font.tmAveCharWidth;
    return {{TextOf(control), area, DT_WORDBREAK}};
  }
  if (kind == "Button") {
    InflateRect(&area, -Metric(SM_CXEDGE, dpi), -Metric(SM_CYEDGE, dpi));
    return {{TextOf(control), area, DT_SINGLELINE}};
  }
  if (kind == "Static") {
    return {{TextOf(control), area, DT_WORDBREAK | (style & SS_NOPREFIX ? DT_NOPREFIX : 0u)}};
  }
  if (kind == "SonaviLinkLabel") return {{TextOf(control), area, DT_SINGLELINE | DT_NOPREFIX}};
  if (kind == "Edit") {
    SendMessageA(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    return {{TextOf(control) + "Ag", area, DT_SINGLELINE}};
  }
  std::vector<Piece> pieces;
  if (kind == "ComboBox") {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    GetComboBoxInfo(control, &info);
    for (int i = 0; i < SendMessageA(control, CB_GETCOUNT, 0, 0); ++i) {
      char item[256] = {};
      SendMessageA(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      pieces.push_back({item, info.rcItem, DT_SINGLELINE});
    }
  } else if (kind == WC_LISTVIEWA) {
    for (int i = 0; i < Header_GetItemCount(ListView_GetHeader(control)); ++i) {
      char text[256] = {};
      ListView_GetItemText(control, 0, i, text, sizeof text);
      ListView_GetSubItemRect(control, 0, i, LVIR_LABEL, &area);
      pieces.push_back({text, area, DT_SINGLELINE | DT_NOPREFIX});
    }
  } else {
    ADD_FAILURE() << "no check for a control of class " << kind;
  }
  return pieces;
}

// system_dpi: the DPI the process started with.
void ExpectTextFits(HWND control, UINT dpi, UINT system_dpi) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  TEXTMETRICA font = {};
  GetTextMetricsA(dc, &font);
  // "MS Sans Serif" is a raster face made for 96 DPI: drawn only there, on a system at 96 DPI,
  // with an outline face in its place elsewhere. (Wine draws the log's "Fixedsys" in an outline
  // face at every DPI.)
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof face, face);
  if (!(ClassOf(control) == "Edit" && (GetWindowLongA(control, GWL_STYLE) & ES_MULTILINE))) {
    EXPECT_EQ(face == std::string("MS Sans Serif"), dpi == 96 && system_dpi == 96) << face;
  }
  EXPECT_GE((font.tmHeight - font.tmInternalLeading) * 72.0 / dpi, 7.5) << "the font is too small";
  for (const Piece& piece : Pieces(control, dpi, font)) {
    RECT needs = {0, 0, piece.area.right - piece.area.left, 0};
    DrawTextA(dc, piece.text.c_str(), -1, &needs, DT_CALCRECT | piece.format);
    EXPECT_LE(needs.right, piece.area.right - piece.area.left) << "\"" << piece.text << "\"";
    EXPECT_LE(needs.bottom, piece.area.bottom - piece.area.top) << "\"" << piece.text << "\"";
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
}

class DpiLayout : public ::testing::Test {
 protected:
  struct Window {
    ui::Form* form;
    SIZE design;                    // at 96 DPI
    bool outer_size;                // the size of the whole window, which the user may change
    std::vector<int> columns = {};  // its grid's, at 96 DPI
    // Its controls anchored to the right and bottom edges, with their distances from them
    // at 96 DPI.
    std::map<HWND, SIZE> anchored = {};
  };

  void SetUp() override {
    const char* dpi = std::getenv("SONAVI_TEST_DPI");
    if (dpi == nullptr) GTEST_SKIP() << "run by the scenario dpi_layout";
    dpi_ = static_cast<UINT>(std::atoi(dpi));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    files_ = temp + (L"sonavi_dpi_" + std::to_wstring(dpi_));
    std::ofstream((files_ + L".agenda").c_str(), std::ios::binary) << "Ana Silva;219876543\r\n";
    form1_ = std::make_unique<TForm1>(SystemCommApi(), registry_);
    fopcoes_ = std::make_unique<Tfopcoes>(settings_, registry_, boxes_);
    finserir_ = std::make_unique<Tfinserir>();
    fagenda_ = std::make_unique<Tfagenda>(SystemFileSystem(), files_ + L".agenda", UserLocale(),
                                          boxes_, settings_);
    listcham_ = std::make_unique<Tlistcham>(SystemFileSystem(), SystemClock(), UserLocale(), boxes_,
                                            files_ + L".listcham");
    fsobre_ = std::make_unique<Tfsobre>();
    // The phone book's grid, and its buttons at the bottom right, 57 wide, 4 apart.
    std::map<HWND, SIZE> book_anchored = {{GetDlgItem(fagenda_->handle(), Tfagenda::kSg), {0, 35}}};
    for (int id :
         {Tfagenda::kButton2, Tfagenda::kBremover, Tfagenda::kBeditar, Tfagenda::kBadicionar}) {
      book_anchored[GetDlgItem(fagenda_->handle(), id)] = {8 + 61 * (Tfagenda::kButton2 - id), 6};
    }
    windows_ = {{form1_.get(), {563, 492}, false},
                {fopcoes_.get(), {262, 126}, false},
                {fagenda_.get(), {600, 400}, true, {389, 157}, book_anchored},
                {finserir_.get(), {413, 127}, false},
                {listcham_.get(), {597, 339}, true, {97, 100, 117, 220}},
                {fsobre_.get(), {275, 109}, false}};
  }

  void TearDown() override {
    if (files_.empty()) return;
    DeleteFileW((files_ + L".agenda").c_str());
    DeleteFileW((files_ + L".listcham").c_str());
  }

  void ExpectLaidOutAt(const Window& window, UINT dpi) {
    SCOPED_TRACE(TextOf(window.form->handle()) + " at " + std::to_string(dpi) + " DPI");
    RECT client;
    GetClientRect(window.form->handle(), &client);
    if (!window.outer_size) {
      EXPECT_EQ(client.right, Scaled(window.design.cx, dpi));
      EXPECT_EQ(client.bottom, Scaled(window.design.cy, dpi));
    }
    for (HWND control = GetWindow(window.form->handle(), GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
      // The phone book's "&z" is out of sight on purpose: only its accelerator is used.
      if (!(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) ||
          control == GetDlgItem(fagenda_->handle(), Tfagenda::kZ)) {
        continue;
      }
      SCOPED_TRACE(ClassOf(control) + " \"" + TextOf(control) + "\"");
      RECT r;
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, window.form->handle(), reinterpret_cast<POINT*>(&r), 2);
      RECT inside;
      EXPECT_TRUE(IntersectRect(&inside, &r, &client) && EqualRect(&inside, &r))
          << "outside the window: " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
      if (const auto margin = window.anchored.find(control); margin != window.anchored.end()) {
        EXPECT_NEAR(client.right - r.right, Scaled(margin->second.cx, dpi), 1) << "right";
        EXPECT_NEAR(client.bottom - r.bottom, Scaled(margin->second.cy, dpi), 1) << "bottom";
      }
      ExpectTextFits(control, dpi, dpi_);
      for (size_t i = 0; ClassOf(control) == WC_LISTVIEWA && i < window.columns.size(); ++i) {
        // Scaled with each move, so within a pixel.
        EXPECT_NEAR(ListView_GetColumnWidth(control, i), Scaled(window.columns[i], dpi), 1);
      }
    }
  }

  // Each window's rectangle on the screen, then its controls'.
  std::vector<std::vector<RECT>> Geometry() const {
    std::vector<std::vector<RECT>> geometry;
    for (const Window& window : windows_) {
      std::vector<RECT>& rects = geometry.emplace_back(1);
      GetWindowRect(window.form->handle(), &rects[0]);
      for (HWND c = GetWindow(window.form->handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetWindowRect(c, &rects.emplace_back());
      }
    }
    return geometry;
  }

  ui::Application app_{GetModuleHandleA(nullptr)};
  std::wstring files_;  // the data files' paths but their extensions
  FakeRegistry registry_;
  FakeMessageBoxes boxes_;
  Settings settings_;
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<Tfopcoes> fopcoes_;
  std::unique_ptr<Tfinserir> finserir_;
  std::unique_ptr<Tfagenda> fagenda_;
  std::unique_ptr<Tlistcham> listcham_;
  std::unique_ptr<Tfsobre> fsobre_;
  std::vector<Window> windows_;
  UINT dpi_ = 0;  // the system's, as the scenario set it
};

TEST_F(DpiLayout, EveryWindowAtTheSystemsDpiAndAfterMovesToOtherMonitors) {
  // The scenario sets the DPI before the process starts: make sure it arrived.
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)), dpi_);
  ReleaseDC(nullptr, screen);
  for (const Window& window : windows_) {
    if (window.outer_size) {
      RECT r;
      GetWindowRect(window.form->handle(), &r);
      EXPECT_EQ(r.right - r.left, Scaled(window.design.cx, dpi_));
      EXPECT_EQ(r.bottom - r.top, Scaled(window.design.cy, dpi_));
    }
    ExpectLaidOutAt(window, dpi_);
  }

  // The user makes the sizeable windows larger; the anchored controls keep their distances
  // from the edges, here and, scaled, at every other DPI. 652 x 432 at 96 DPI scales to each
  // DPI here without rounding, so the moves below end where they began.
  for (const Window& window : windows_) {
    if (!window.outer_size) continue;
    SetWindowPos(window.form->handle(), nullptr, 0, 0, Scaled(652, dpi_), Scaled(432, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ExpectLaidOutAt(window, dpi_);
  }

  // Moved to monitors of each DPI in turn: the system suggests the window's top left corner
  // and its size scaled from the DPI it had, unless the window tells its exact size first, as
  // one of fixed size does.
  const std::vector<std::vector<RECT>> start = Geometry();
  UINT old = dpi_;
  for (UINT dpi : {96u, 120u, 144u, 192u, dpi_ == 96u ? 120u : 96u}) {
    for (const Window& window : windows_) {
      const HWND handle = window.form->handle();
      RECT before;
      GetWindowRect(handle, &before);
      SIZE size = {MulDiv(before.right - before.left, dpi, old),
                   MulDiv(before.bottom - before.top, dpi, old)};
      EXPECT_EQ(SendMessageA(handle, 0x02E4 /* WM_GETDPISCALEDSIZE */, dpi,
                             reinterpret_cast<LPARAM>(&size)) != 0,
                !window.outer_size);
      RECT suggested = {before.left, before.top, before.left + size.cx, before.top + size.cy};
      SendMessageA(handle, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
      RECT after;
      GetWindowRect(handle, &after);
      EXPECT_EQ(after.left, before.left);
      EXPECT_EQ(after.top, before.top);
      // Taken as it came, not corrected after (Wine draws every window's frame at the DPI
      // the process started with).
      if (window.outer_size || dpi == dpi_) {
        EXPECT_TRUE(EqualRect(&after, &suggested));
      }
      ExpectLaidOutAt(window, dpi);
    }
    old = dpi;
  }
  // Shown, each window comes back to the DPI of its monitor although no move told it so,
  // as hidden windows may miss moves: every window and control is where it was, to the pixel.
  for (const Window& window : windows_) {
    window.form->Show();
    ExpectLaidOutAt(window, dpi_);
  }
  const std::vector<std::vector<RECT>> end = Geometry();
  for (size_t i = 0; i < end.size(); ++i) {
    ASSERT_EQ(end[i].size(), start[i].size());
    for (size_t j = 0; j < end[i].size(); ++j) {
      EXPECT_TRUE(EqualRect(&end[i][j], &start[i][j])) << TextOf(windows_[i].form->handle()) << j;
    }
  }
}

}  // namespace
}  // namespace sonavi
