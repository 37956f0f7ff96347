#include "platform/text.h"

namespace sonavi {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool CutLine(std::string& text, std::string* line) {
  const size_t cr = text.find('\r');
  if (cr == std::string::npos) return false;
  line->assign(text, 0, cr);
  size_t erase = cr + 1;
  if (erase < text.size() && text[erase] == '\n') ++erase;
  text.erase(0, erase);
  return true;
}

std::string ExtractField(std::string_view line, std::string_view separator, int index) {
  if (index <= 0 || separator.empty()) return std::string();
  std::string_view rest = line;
  // One step per field of the line, whatever the index asked for.
  for (int field = 1;; ++field) {
    const size_t at = rest.find(separator);
    if (at == std::string_view::npos) {
      // The last field runs to the end of the line; after it every field is empty.
      return field == index ? std::string(rest) : std::string();
    }
    if (field == index) return std::string(rest.substr(0, at));
    rest.remove_prefix(at + separator.size());
  }
}

std::vector<std::string> SplitFileLines(std::string_view bytes) {
  const size_t eof = bytes.find('\x1A');
  if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else if (c != '\r') {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace sonavi
