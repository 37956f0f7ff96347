#include "settings/options_dialog.h"

#include <algorithm>
#include <utility>

namespace sonavi {

OptionsChoice::OptionsChoice(Settings& settings, Registry& registry, MessageBoxes& boxes,
                             Locale& locale, std::function<void()> reinitialise)
    : settings_(settings),
      registry_(registry),
      boxes_(boxes),
      locale_(locale),
      reinitialise_(std::move(reinitialise)) {}

bool OptionsChoice::SameEntry(const std::string& a, const std::string& b) {
  return locale_.Lower(a) == locale_.Lower(b);
}

void OptionsChoice::InsertSorted(const std::string& item) {
  const std::string key = locale_.Lower(item);
  // After every entry that sorts before it or equal to it.
  auto at = std::find_if(items_.begin(), items_.end(), [&](const std::string& entry) {
    return locale_.Compare(locale_.Lower(entry), key) > 0;
  });
  items_.insert(at, item);
}

void OptionsChoice::Fill(const WindowsVersion& version) {
  std::vector<std::string> ports;
  EnumerateSerialPorts(
      registry_, version, ports,
      [this](const std::string& a, const std::string& b) { return SameEntry(a, b); });
  items_.clear();
  for (const std::string& port : ports) InsertSorted(port);
  InsertSorted(" ");

  selected_ = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == settings_.modem_port) selected_ = static_cast<int>(i);
  }
  speaker_off_ = settings_.speaker_off;
}

void OptionsChoice::Confirm(int selected, bool speaker_off) {
  selected_ = selected;
  speaker_off_ = speaker_off;
  const std::string port =
      selected >= 0 && static_cast<size_t>(selected) < items_.size() ? items_[selected] : "";
  settings_.modem_port = port.substr(0, kMaxPortLength);
  settings_.speaker_off = speaker_off;
  const Status status = SaveSettings(registry_, settings_);
  if (!status.ok()) {
    boxes_.ShowError(status.message());
    return;
  }
  if (reinitialise_) reinitialise_();
}

}  // namespace sonavi
