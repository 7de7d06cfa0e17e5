#pragma once
// The ASCII text helpers of the whole program. Only the ASCII letters A-Z and a-z are folded and
// only bytes up to the blank (32) count as blanks: the bytes of GBK and UTF-8 text (all above 127)
// pass through unchanged and never match a letter of another case.
#include <string>
#include <string_view>

namespace qm {

constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

std::string AsciiLowerCase(std::string_view text);
std::string AsciiUpperCase(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// The text without the blanks and control characters (bytes 0..32) at either end.
std::string_view TrimBlanks(std::string_view text);

}  // namespace qm
