#include "dialer.h"

#include <utility>

namespace sonavi {

Dialer::Dialer(Hooks hooks, MessageBoxes& boxes) : hooks_(std::move(hooks)), boxes_(boxes) {}

bool Dialer::CommandOk(const std::string& command) {
  return hooks_.send_command(command, kDialCommandTimeoutMs) == "OK";
}

void Dialer::Dial(const std::string& telephone) {
  if (telephone.empty()) return;
  if (!hooks_.modem_ready()) {
    boxes_.Show(kModemUnreachableText, kMbOk | kMbIconError);
    return;
  }
  hooks_.show_panel();
  if (!CommandOk("AT") || (hooks_.speaker_off() && !CommandOk("ATM0"))) {
    boxes_.Show(kModemErrorText, kMbOk | kMbIconError);
    hooks_.hide_panel();
    return;
  }
  std::string reply = hooks_.send_command("ATDT" + telephone + ";", kDialCommandTimeoutMs);
  // The first block may hold nothing but the echo of the dial command: wait once more.
  if (reply.empty()) reply = hooks_.send_command(std::string(), kDialAnswerTimeoutMs);
  hooks_.hide_panel();
  if (reply == "NO DIALTONE") {
    hooks_.send_command("ATH0", kDialCommandTimeoutMs);
    boxes_.Show(kNoDialToneText, kMbOk | kMbIconError);
  } else if (reply == "OK") {
    boxes_.Show(kLiftHandsetText, kMbOk | kMbIconInformation);
    hooks_.send_command("ATH0", kDialCommandTimeoutMs);
  }
}

}  // namespace sonavi
