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

}  // namespace sonavi
