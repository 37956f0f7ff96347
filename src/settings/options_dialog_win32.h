// The options dialog "Opções": the modem's serial port and the loudspeaker setting.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "platform/message_box.h"
#include "platform/registry.h"
#include "settings/options_dialog.h"
#include "settings/settings.h"
#include "ui/form.h"

namespace sonavi {

class Tfopcoes : public ui::Form {
 public:
  // Fills the port list and the check box once, from the system's ports and settings.
  Tfopcoes(Settings& settings, Registry& registry, MessageBoxes& boxes);
  // What OK runs after storing: clears the modem's ready flag and runs the supervision step.
  void Link(std::function<void()> reinitialise) { reinitialise_ = std::move(reinitialise); }

  // On a first run (no port stored) the dialog shows itself modally during start-up;
  // returns once it is closed.
  void ShowAtStartIfNoPort();
  bool OpensAtStart() const { return choice_.OpensAtStart(); }

  // OK: stores the choice and applies it; the dialog closes with IDOK either way.
  void Button3Click();

  HWND combo_box() const { return Control(kComboBox1); }
  HWND check_box() const { return Control(kCbDesligAltif); }

  enum ControlId { kComboBox1 = 100, kCbDesligAltif = 101, kLabel1 = 102 };

 protected:
  void OnCommand(int id, int code, HWND control) override;

 private:
  std::function<void()> reinitialise_;
  OptionsChoice choice_;
};

}  // namespace sonavi
