// Small text helpers shared by the subsystems. Text is single-byte Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace sonavi {

// Removes leading and trailing blanks and control characters (every byte up to 32).
std::string Trim(std::string_view text);

// Cuts the first line off text: the line is everything before the first CR; the CR and
// one LF directly after it are removed from text. Returns false, leaving text alone,
// when text holds no CR.
bool CutLine(std::string& text, std::string* line);

}  // namespace sonavi
