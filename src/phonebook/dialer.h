// Dialling the selected entry through the modem as a voice call: the modem dials and
// returns to command mode, the user lifts the handset, the modem goes back on-hook.
#pragma once

#include <functional>
#include <string>

#include "platform/message_box.h"

namespace sonavi {

inline constexpr const char kModemUnreachableText[] = "Não é possível comunicar com o modem.";
inline constexpr const char kModemErrorText[] = "Erro na comunicação com o modem.";
inline constexpr const char kNoDialToneText[] = "Linha sem sinal.";
inline constexpr const char kLiftHandsetText[] =
    "Número marcado, levante o auscultador do telefone e em seguida clique OK.";
inline constexpr const char kDiallingText[] = "A marcar, aguarde...";

// Time-outs of the exchanges, in milliseconds.
inline constexpr int kDialCommandTimeoutMs = 2000;
inline constexpr int kDialAnswerTimeoutMs = 30000;

class Dialer {
 public:
  struct Hooks {
    // The blocking command exchange: sends the command and CR (nothing for an empty
    // command), waits up to the time-out for the modem's first block and returns its
    // answer lines without the echo, joined by CR LF; empty when nothing came.
    std::function<std::string(const std::string& command, int timeout_ms)> send_command;
    // Whether the supervision has brought the modem up.
    std::function<bool()> modem_ready;
    // Whether the loudspeaker is switched off before dialling.
    std::function<bool()> speaker_off;
    // Shows the "dialling" panel and paints it at once; hides it again.
    std::function<void()> show_panel;
    std::function<void()> hide_panel;
  };

  Dialer(Hooks hooks, MessageBoxes& boxes);

  // Dials telephone exactly as stored. An empty telephone does nothing.
  void Dial(const std::string& telephone);

 private:
  // Sends command and reports whether the modem answered exactly "OK".
  bool CommandOk(const std::string& command);

  Hooks hooks_;
  MessageBoxes& boxes_;
};

}  // namespace sonavi
