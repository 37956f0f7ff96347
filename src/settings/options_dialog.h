// What the options dialog decides, apart from its window: the port list it offers, the
// choice it shows, and what OK stores and applies.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "serial/comm_port_list.h"
#include "settings/settings.h"

namespace sonavi {

class OptionsChoice {
 public:
  // reinitialise clears the modem's ready flag and runs the supervision step at once.
  OptionsChoice(Settings& settings, Registry& registry, MessageBoxes& boxes, Locale& locale,
                std::function<void()> reinitialise);

  // Fills the port list once: the ports the system lists and the blank entry " ", in
  // the order of a sorted drop-down list (the locale's order, ignoring case). Selects
  // the entry equal to the stored port byte for byte, else the blank one, and sets the
  // check box from the stored setting.
  void Fill(const WindowsVersion& version);

  const std::vector<std::string>& items() const { return items_; }
  int selected() const { return selected_; }
  bool speaker_off() const { return speaker_off_; }

  // A first run (no port stored, not even the blank one) opens the dialog by itself.
  bool OpensAtStart() const { return settings_.modem_port.empty(); }

  // OK with the shown choice: stores both settings and re-initialises the modem. When a
  // setting cannot be stored the error box shows and the modem is left alone; the new
  // values stay in memory either way.
  void Confirm(int selected, bool speaker_off);

 private:
  // The list's own lookup: case-insensitive, as the drop-down's.
  bool SameEntry(const std::string& a, const std::string& b);
  void InsertSorted(const std::string& item);

  Settings& settings_;
  Registry& registry_;
  MessageBoxes& boxes_;
  Locale& locale_;
  std::function<void()> reinitialise_;
  std::vector<std::string> items_;
  int selected_ = -1;
  bool speaker_off_ = false;
};

}  // namespace sonavi
