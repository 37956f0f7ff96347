#include "fakemodem/modem_logic.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace sonavi::fakemodem {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kBackspace = '\b';

std::string Result(std::string_view code) { return "\r\n" + std::string(code) + "\r\n"; }

// Upper case, blanks removed: "at #cid = 1" and "AT#CID=1" are the same command.
std::string Normalise(std::string_view line) {
  std::string out;
  for (char c : line) {
    if (c == ' ' || c == '\t') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

bool ParseInt(std::string_view text, int* value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::string_view NextWord(std::string_view* text) {
  std::size_t start = text->find_first_not_of(' ');
  if (start == std::string_view::npos) {
    *text = {};
    return {};
  }
  std::size_t end = text->find(' ', start);
  if (end == std::string_view::npos) end = text->size();
  std::string_view word = text->substr(start, end - start);
  text->remove_prefix(end);
  return word;
}

std::string TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value % 100);
  return buffer;
}

}  // namespace

ModemLogic::ModemLogic(const ModemOptions& options) : options_(options), echo_(options.echo) {}

bool ModemLogic::Answering() const {
  if (options_.no_answer || silent_) return false;
  return options_.silent_after < 0 || commands_seen_ < options_.silent_after;
}

ModemOutput ModemLogic::Receive(std::string_view bytes) {
  ModemOutput output;
  std::string echoed;
  auto flush_echo = [&] {
    if (!echoed.empty()) output.chunks.push_back({0, std::move(echoed)});
    echoed.clear();
  };
  for (char c : bytes) {
    // The modem echoes what it receives while it still answers, before acting on it.
    if (echo_ && Answering()) echoed += c;
    if (c == kLf) continue;
    if (c == kBackspace) {
      if (!line_.empty()) line_.pop_back();
      continue;
    }
    if (c != kCr) {
      if (line_.size() < kMaxLine) {
        line_ += c;
      } else {
        overflow_ = true;
      }
      continue;
    }
    flush_echo();
    std::string line = std::move(line_);
    line_.clear();
    const bool overflow = overflow_;
    overflow_ = false;
    if (line.empty() && !overflow) continue;  // a bare CR is no command
    output.commands.push_back(line);
    const bool answering = Answering();
    ++commands_seen_;
    if (!answering) continue;
    if (overflow) {
      AddReply(Result("ERROR"), options_.reply_delay_ms, &output.chunks);
    } else {
      Execute(line, &output.chunks);
    }
  }
  flush_echo();
  return output;
}

void ModemLogic::AddReply(const std::string& text, int delay_ms, std::vector<Chunk>* chunks) const {
  if (options_.split && text.size() > 1) {
    const std::size_t half = text.size() / 2;
    chunks->push_back({delay_ms, text.substr(0, half)});
    chunks->push_back({options_.split_gap_ms, text.substr(half)});
  } else {
    chunks->push_back({delay_ms, text});
  }
}

void ModemLogic::Execute(const std::string& line, std::vector<Chunk>* chunks) {
  const std::string command = Normalise(line);
  const int delay = options_.reply_delay_ms;
  auto reply = [&](std::string_view code) { AddReply(Result(code), delay, chunks); };
  if (command.rfind("AT", 0) != 0) return reply("ERROR");
  const std::string rest = command.substr(2);

  if (rest.empty() || rest == "M" || rest == "M0" || rest == "M1" || rest == "M2" || rest == "M3" ||
      rest == "H" || rest == "H0") {
    return reply("OK");
  }
  if (rest == "Z" || rest == "Z0") {
    echo_ = options_.echo;
    cid_mode_ = 0;
    return reply("OK");
  }
  if (rest == "E" || rest == "E0" || rest == "E1") {
    echo_ = rest == "E1";
    return reply("OK");
  }
  if (rest.rfind("#CID", 0) == 0) {
    const std::string arg = rest.substr(4);
    if (options_.cid_error) return reply("ERROR");
    if (arg == "?")
      return AddReply(Result(std::to_string(cid_mode_)) + Result("OK"), delay, chunks);
    if (arg == "=?") return AddReply(Result("(0-2)") + Result("OK"), delay, chunks);
    if (arg == "=0" || arg == "=1" || arg == "=2") {
      cid_mode_ = arg[1] - '0';
      return reply("OK");
    }
    return reply("ERROR");
  }
  if (rest.rfind("DT", 0) == 0 || rest.rfind("DP", 0) == 0) {
    const int dial_delay = delay + options_.dial_delay_ms;
    // Without the closing ";" the modem waits for a data carrier that never comes.
    if (rest.back() != ';') return AddReply(Result("NO CARRIER"), dial_delay, chunks);
    switch (options_.dial) {
      case DialOutcome::kOk:
        return AddReply(Result("OK"), dial_delay, chunks);
      case DialOutcome::kNoDialtone:
        return AddReply(Result("NO DIALTONE"), dial_delay, chunks);
      case DialOutcome::kBusy:
        return AddReply(Result("BUSY"), dial_delay, chunks);
    }
  }
  reply("ERROR");
}

std::string RingText() { return Result("RING"); }

std::string CallerIdText(const CallTime& time, std::string_view number) {
  return Result("DATE = " + TwoDigits(time.month) + TwoDigits(time.day)) +
         Result("TIME = " + TwoDigits(time.hour) + TwoDigits(time.minute)) +
         Result("NMBR = " + std::string(number));
}

std::vector<TimedText> PlanCall(std::string_view number, int rings, int ring_interval_ms,
                                const CallTime& time) {
  std::vector<TimedText> plan;
  for (int i = 0; i < rings; ++i) {
    plan.push_back({i * ring_interval_ms, RingText()});
    if (i == 0) plan.push_back({ring_interval_ms / 2, CallerIdText(time, number)});
  }
  std::stable_sort(plan.begin(), plan.end(),
                   [](const TimedText& a, const TimedText& b) { return a.at_ms < b.at_ms; });
  return plan;
}

bool DecodeEscapes(std::string_view text, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'r':
        *out += '\r';
        break;
      case 'n':
        *out += '\n';
        break;
      case 't':
        *out += '\t';
        break;
      case '\\':
        *out += '\\';
        break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        unsigned value = 0;
        const char* first = text.data() + i + 1;
        const auto [end, ec] = std::from_chars(first, first + 2, value, 16);
        if (ec != std::errc() || end != first + 2) return false;
        *out += static_cast<char>(value);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::optional<ControlCommand> ParseControl(std::string_view line, std::string* error) {
  error->clear();
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  std::string_view rest = line;
  const std::string_view word = NextWord(&rest);
  if (word.empty() || word.front() == '#') return std::nullopt;
  auto fail = [&](std::string why) -> std::optional<ControlCommand> {
    *error = std::move(why) + ": " + std::string(line);
    return std::nullopt;
  };
  auto no_more = [&] { return NextWord(&rest).empty(); };

  ControlCommand command;
  if (word == "ring" || word == "close" || word == "reopen" || word == "stall" || word == "quit") {
    if (!no_more()) return fail("unexpected argument");
    command.kind = word == "ring"     ? ControlCommand::Kind::kRing
                   : word == "close"  ? ControlCommand::Kind::kClose
                   : word == "reopen" ? ControlCommand::Kind::kReopen
                   : word == "stall"  ? ControlCommand::Kind::kStall
                                      : ControlCommand::Kind::kQuit;
    return command;
  }
  if (word == "call") {
    command.kind = ControlCommand::Kind::kCall;
    command.text = std::string(NextWord(&rest));
    if (command.text.empty()) return fail("call needs a number");
    const std::string_view rings = NextWord(&rest);
    if (!rings.empty() && (!ParseInt(rings, &command.rings) || command.rings < 1)) {
      return fail("bad ring count");
    }
    if (!no_more()) return fail("unexpected argument");
    return command;
  }
  if (word == "send") {
    command.kind = ControlCommand::Kind::kSend;
    // The text is everything after "send" and one blank, so leading blanks can be sent.
    if (!rest.empty()) rest.remove_prefix(1);
    if (!DecodeEscapes(rest, &command.text)) return fail("bad escape");
    if (command.text.empty()) return fail("send needs a text");
    return command;
  }
  if (word == "silent") {
    command.kind = ControlCommand::Kind::kSilent;
    const std::string_view state = NextWord(&rest);
    if (state != "on" && state != "off") return fail("silent takes on or off");
    if (!no_more()) return fail("unexpected argument");
    command.on = state == "on";
    return command;
  }
  return fail("unknown control command");
}

std::optional<std::vector<ScriptEntry>> ParseScript(std::string_view text, std::string* error) {
  std::vector<ScriptEntry> entries;
  int number = 0;
  while (!text.empty()) {
    ++number;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::string_view rest = line;
    const std::string_view time = NextWord(&rest);
    if (time.empty() || time.front() == '#' || time == "\r") continue;
    ScriptEntry entry;
    if (!ParseInt(time, &entry.at_ms) || entry.at_ms < 0) {
      *error = "line " + std::to_string(number) + ": bad time: " + std::string(line);
      return std::nullopt;
    }
    if (!rest.empty()) rest.remove_prefix(1);
    std::optional<ControlCommand> command = ParseControl(rest, error);
    if (!command) {
      if (error->empty()) *error = "missing command: " + std::string(line);
      *error = "line " + std::to_string(number) + ": " + *error;
      return std::nullopt;
    }
    entry.command = std::move(*command);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string Printable(std::string_view line) {
  std::string out;
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte > 126 || c == '\\') {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace sonavi::fakemodem
