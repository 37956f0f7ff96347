// A top-level window of the program with its child controls: creation, the standard
// placement and fonts, anchoring, scaling to the monitor's DPI, showing and hiding, modal
// showing, and dispatch of the messages a window of this program handles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/dpi.h"

namespace sonavi::ui {

enum Anchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
  kAnchorAll = 15,
};

enum class Border {
  kDialog,    // fixed dialog frame
  kSingle,    // fixed single frame with minimise box
  kSizeable,  // resizable frame
  kNone,      // no frame, no caption
};

// Every size and position a form is given is in pixels at 96 DPI: the form scales them, and
// its fonts, to the DPI of its monitor, and again when it moves to another.
struct FormParams {
  std::string caption;
  int width = 0;  // client size, or outer size when outer_size
  int height = 0;
  bool outer_size = false;
  Border border = Border::kDialog;
  // The desktop as parent instead of the application window: the window gets its own
  // taskbar button.
  bool desktop_parent = false;
};

// The window's text.
std::string WindowText(HWND window);

class Form {
 public:
  Form() = default;
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND handle() const { return window_; }
  void Show();
  void Hide();
  bool Visible() const;
  // Shows the form modally; returns the modal result (IDOK, IDCANCEL, ...).
  int ShowModal();
  void SetModalResult(int result) { modal_result_ = result; }
  // Closes the form like its close box: hides it, ends a modal showing with IDCANCEL.
  void Close();

  // Called by the message loop for key messages aimed at this form or its controls,
  // before dialog handling; true when handled.
  virtual bool PreviewKey(MSG& msg);

 protected:
  void CreateForm(const FormParams& params);

  // Creates a child control at the given client position with the form's font.
  HWND AddControl(const char* window_class, const std::string& text, DWORD style, int id, int x,
                  int y, int width, int height, unsigned anchors = kAnchorLeft | kAnchorTop,
                  DWORD ex_style = 0);
  HWND AddButton(int id, const std::string& caption, int x, int y, int width, int height,
                 unsigned anchors = kAnchorLeft | kAnchorTop);
  // A one-line label; never lower than a line of its font, whatever face the system gives.
  HWND AddLabel(const std::string& caption, int x, int y, int width, int height, int id = -1);
  HWND AddEdit(int id, const std::string& text, int x, int y, int width, int height,
               unsigned anchors = kAnchorLeft | kAnchorTop);
  // Makes a child window created elsewhere (a grid, a link label) one of the form's
  // controls: placed, anchored, given the form's font and rescaled like the others.
  void Place(HWND control, int x, int y, int width, int height,
             unsigned anchors = kAnchorLeft | kAnchorTop);
  // The control's font instead of the form's.
  void SetControlFont(HWND control, const FontDesign& font);
  // The control takes the size of its text in its font, now and after each change of DPI.
  void FitToText(HWND control);
  // The client size the form is designed for.
  SIZE DesignClientSize() const { return {design_width_, design_height_}; }
  // A length at 96 DPI in the form's pixels.
  int Scale(int value) const { return ui::Scale(value, dpi_); }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  // The button that Return presses.
  void SetDefaultButton(int id) { default_button_ = id; }
  void SetMinTrackSize(int width, int height) {
    min_width_ = width;
    min_height_ = height;
  }

  // Handlers.
  virtual void OnCommand(int id, int code, HWND control);
  virtual LRESULT OnNotify(NMHDR* header);
  virtual void OnShow() {}
  // After the move to a monitor of another DPI, for what the form draws itself.
  virtual void OnDpiChanged() {}
  // After the controls are laid out again (a new size or DPI), for those the form moves itself.
  virtual void OnLayout() {}
  // The close box; by default the form only hides.
  virtual void OnClose() { Close(); }
  // Everything else; falls back to DefWindowProcA.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  // How a control's size follows its text.
  enum class Fit { kNone, kText, kLineHeight };
  struct Placed {
    HWND control;
    RECT design;  // at 96 DPI, in client coordinates
    unsigned anchors;
    const FontDesign* font;
    Fit fit;
  };
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT msg, WPARAM wparam, LPARAM lparam);
  Placed* Find(HWND control);
  void SetFit(HWND control, Fit fit);
  // Where the control goes at the form's DPI and client size.
  RECT Bounds(const Placed& placed) const;
  // The control's font at the form's DPI; a grid's rows and columns too.
  void ApplyDpi(const Placed& placed);
  void Layout();
  void ChangeDpi(UINT dpi, const RECT& suggested);
  // Sizes the window for its client area to be the design's at the form's DPI, whatever
  // frame the system draws around it; keeps its top left corner.
  void SizeClientArea();

  HWND window_ = nullptr;
  UINT dpi_ = kDesignDpi;
  int design_width_ = 0;  // client size at 96 DPI
  int design_height_ = 0;
  bool fixed_client_ = false;  // the design gives the client size, which the form keeps
  int min_width_ = 0;          // outer size at 96 DPI
  int min_height_ = 0;
  int default_button_ = 0;
  int modal_result_ = 0;
  bool modal_ = false;
  std::vector<Placed> controls_;
};

}  // namespace sonavi::ui
