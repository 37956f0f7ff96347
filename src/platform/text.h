// Small text helpers shared by the subsystems. Text is single-byte Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonavi {

// Removes leading and trailing blanks and control characters (every byte up to 32).
std::string Trim(std::string_view text);

// Cuts the first line off text: the line is everything before the first CR; the CR and
// one LF directly after it are removed from text. Returns false, leaving text alone,
// when text holds no CR.
bool CutLine(std::string& text, std::string* line);

// The field of the given index, counted from 1, of a separator-delimited line; the empty
// text for an index of 0 or less or beyond the last field. "Ana;21;x" gives "Ana", "21",
// "x"; ";21" gives "" and "21".
std::string ExtractField(std::string_view line, std::string_view separator, int index);

// Cuts the bytes of a data file into lines: a line ends at LF or CR LF, a CR not
// followed by LF is dropped from the line, a byte 0x1A ends the file, lines of any
// length are kept whole. Empty lines are returned too (callers skip them).
std::vector<std::string> SplitFileLines(std::string_view bytes);

}  // namespace sonavi
