#include "fakes/fake_locale.h"

#include <tuple>
#include <vector>

namespace sonavi {

namespace {

// Windows-1252 letters with diacritics, folded to their base letter.
char BaseLetter(unsigned char c) {
  static const std::string kFrom =
      "\xC0\xC1\xC2\xC3\xC4\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD2\xD3\xD4\xD5\xD6\xD9\xDA\xDB\xDC"
      "\xE0\xE1\xE2\xE3\xE4\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF2\xF3\xF4\xF5\xF6\xF9\xFA\xFB"
      "\xFC";
  static const std::string kTo = "AAAAACEEEEIIIIOOOOOUUUUaaaaaceeeeiiiiooooouuuu";
  const size_t at = kFrom.find(static_cast<char>(c));
  return at == std::string::npos ? static_cast<char>(c) : kTo[at];
}

char LowerByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
  return static_cast<char>(c);
}

}  // namespace

std::string FakeLocale::Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = LowerByte(static_cast<unsigned char>(c));
  return out;
}

int FakeLocale::Compare(const std::string& a, const std::string& b) {
  // Three levels, as linguistic sorting does: base letters, then accents, then case.
  auto key = [](const std::string& s) {
    std::string base, accents, cases;
    for (unsigned char c : s) {
      const char folded = BaseLetter(c);
      base.push_back(LowerByte(static_cast<unsigned char>(folded)));
      accents.push_back(folded == static_cast<char>(c) ? 0 : 1);
      cases.push_back(LowerByte(static_cast<unsigned char>(folded)) == folded ? 0 : 1);
    }
    return std::make_tuple(base, accents, cases);
  };
  const auto ka = key(a);
  const auto kb = key(b);
  if (ka < kb) return -1;
  if (kb < ka) return 1;
  return 0;
}

}  // namespace sonavi
