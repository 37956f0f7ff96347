// A top-level window of the program with its child controls: creation, the standard
// placement and fonts, anchoring, showing and hiding, modal showing, and dispatch of
// the messages a window of this program handles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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
  HWND AddLabel(const std::string& caption, int x, int y, int width, int height, int id = -1);
  HWND AddEdit(int id, const std::string& text, int x, int y, int width, int height,
               unsigned anchors = kAnchorLeft | kAnchorTop);
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
  // The close box; by default the form only hides.
  virtual void OnClose() { Close(); }
  // Everything else; falls back to DefWindowProcA.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  struct Anchored {
    HWND control;
    RECT rect;  // as created, in client coordinates
    unsigned anchors;
  };
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT msg, WPARAM wparam, LPARAM lparam);
  void Reanchor();

  HWND window_ = nullptr;
  int design_width_ = 0;  // client size as designed
  int design_height_ = 0;
  int min_width_ = 0;
  int min_height_ = 0;
  int default_button_ = 0;
  int modal_result_ = 0;
  bool modal_ = false;
  std::vector<Anchored> anchored_;
};

}  // namespace sonavi::ui
