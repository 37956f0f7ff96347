// Message boxes, behind an interface so that tests can answer them.
#pragma once

#include <cstdint>
#include <string>

namespace sonavi {

// MessageBoxA flags and answers the program uses.
enum : uint32_t {
  kMbOk = 0x0,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdYes = 6, kIdNo = 7 };

// The application title, caption of every message box.
inline constexpr const char kAppTitle[] = "Sonavi";

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal box with the application title as caption; returns the answer.
  virtual int Show(const std::string& text, uint32_t flags) = 0;
  // The application's standard error box: the error's text, error icon, OK.
  void ShowError(const std::string& text) { Show(text, kMbOk | kMbIconError); }
};

}  // namespace sonavi
