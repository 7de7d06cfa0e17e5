#pragma once
// A profile (INI) file in the layout Windows programs share: "[section]" lines, then lines
// "key=value". The file is in the system code page (GBK); section and key names are given here
// in UTF-8 and converted. Lookups ignore ASCII letter case; the first of duplicate sections or
// keys wins. Writing changes a key where it stands, appends a missing key after the last line of
// its section and a missing section at the end, and keeps every other line byte for byte.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// Reading or writing a profile file failed; the message names the file.
struct EIniFileException : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Parses an integer as the profile reader does: optional sign, then decimal digits or "0x" and
// hexadecimal digits (up to 0xFFFFFFFF, taken as a 32-bit pattern). False when the text is not
// such a number or does not fit 32 bits.
bool ParseProfileInt(std::string_view text, std::int32_t& value);

class TIniFile {
 public:
  // Reads the file. A missing file reads as a file without sections; a file that exists but
  // cannot be read raises EIniFileException("Unable to read <name>").
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }

  bool SectionExists(std::string_view section) const;
  // The section names in file order (converted to UTF-8), duplicates included.
  std::vector<std::string> SectionNames() const;
  bool ValueExists(std::string_view section, std::string_view key) const;

  // Values as text (converted from GBK to UTF-8). A present key gives its value with blanks
  // trimmed and one pair of enclosing quotes removed; a missing key gives `fallback`.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // The same, but the value's bytes as stored (for URLs and other byte strings).
  std::string ReadBytes(std::string_view section, std::string_view key,
                        std::string_view fallback) const;
  // A missing key or a value that is not an integer gives `fallback`.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const;
  // Any integer other than 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Each write goes to disk at once unless writes are deferred; a failure raises
  // EIniFileException("Unable to write to <name>") and leaves the file as it was.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteBytes(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // With deferred writes on, writes change only the copy in memory until UpdateFile, so that a
  // file of many sections is written once.
  void SetDeferredWrites(bool deferred) { deferred_ = deferred; }
  void UpdateFile();

 private:
  struct Section {
    std::string Header;              // the "[name]" line as stored; empty for the lines before
    std::vector<std::string> Lines;  // the lines after it, without line ends
  };

  const std::string* FindValueLine(std::string_view section, std::string_view key) const;
  void Store(std::string_view section, std::string_view key, std::string_view gbkValue);
  std::string Serialize() const;

  std::string fileName_;
  std::vector<Section> sections_;  // [0] holds the lines before any section
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded GBK name -> first section
  std::string lineEnd_ = "\r\n";
  bool deferred_ = false;
  bool dirty_ = false;
};

}  // namespace qm
