#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/AsciiText.h"
#include "platform/Gbk.h"

namespace qm {
namespace {

std::string_view TrimProfileBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// ASCII letters folded to lower case; the two bytes of a GBK character are kept as they are, so
// that a trail byte that happens to be a letter code is not folded.
std::string FoldName(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (c >= 0x81 && i + 1 < gbk.size()) {
      out += gbk[i];
      out += gbk[++i];
    } else {
      out += AsciiLower(static_cast<char>(c));
    }
  }
  return out;
}

// The section name of a "[name]" line, or false when the line is not a section header.
bool SectionNameOf(std::string_view line, std::string_view& name) {
  line = TrimProfileBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  name = TrimProfileBlanks(close == std::string_view::npos ? line : line.substr(0, close));
  return true;
}

// The key of a "key=value" line, or false when the line holds no "=".
bool KeyOf(std::string_view line, std::string_view& key) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimProfileBlanks(line.substr(0, eq));
  return true;
}

bool IsBlankLine(std::string_view line) {
  return TrimProfileBlanks(line).empty();
}

// Line breaks inside a value would start new keys or sections in the file.
std::string OneLine(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces the file's contents: through a ".tmp" file renamed over it, so that a crash never
// leaves half a file; in place when the directory does not let us create the ".tmp" file.
bool ReplaceFileContents(const std::string& fileName, const std::string& bytes) {
  std::string target = fileName;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

  const std::string tmp = target + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd >= 0) {
    bool ok = (!exists || ::fchmod(fd, st.st_mode & 07777) == 0) && WriteAll(fd, bytes) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmp.c_str(), target.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
  }
  if (!exists) return false;
  fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  return ::close(fd) == 0 && ok;
}

}  // namespace

bool ParseProfileInt(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const bool hex =
      text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
  if (hex) i += 2;
  if (i >= text.size()) return false;
  std::uint64_t n = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    n = n * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (n > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    const std::uint32_t bits = static_cast<std::uint32_t>(n);
    value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    return true;
  }
  if (n > (negative ? 2147483648ull : 2147483647ull)) return false;
  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(n))
                   : static_cast<std::int32_t>(n);
  return true;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
  sections_.push_back(Section{});
  struct stat st {};
  if (::stat(fileName_.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return;  // a missing file has no sections
    throw EIniFileException("Unable to read " + fileName_);
  }
  std::ifstream in(fileName_, std::ios::binary);
  if (S_ISDIR(st.st_mode) || !in) throw EIniFileException("Unable to read " + fileName_);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw EIniFileException("Unable to read " + fileName_);

  if (text.find("\r\n") == std::string::npos && text.find('\n') != std::string::npos)
    lineEnd_ = "\n";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    std::string_view name;
    if (SectionNameOf(line, name)) {
      sectionIndex_.emplace(FoldName(name), sections_.size());
      sections_.push_back(Section{std::move(line), {}});
    } else {
      sections_.back().Lines.push_back(std::move(line));
    }
  }
}

bool TIniFile::SectionExists(std::string_view section) const {
  return sectionIndex_.count(FoldName(Utf8ToGbk(section))) != 0;
}

std::vector<std::string> TIniFile::SectionNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    std::string_view name;
    if (SectionNameOf(sections_[i].Header, name)) names.push_back(GbkToUtf8(name));
  }
  return names;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindValueLine(section, key) != nullptr;
}

const std::string* TIniFile::FindValueLine(std::string_view section, std::string_view key) const {
  auto it = sectionIndex_.find(FoldName(Utf8ToGbk(section)));
  if (it == sectionIndex_.end()) return nullptr;
  const std::string folded = FoldName(Utf8ToGbk(key));
  for (const std::string& line : sections_[it->second].Lines) {
    std::string_view lineKey;
    if (KeyOf(line, lineKey) && FoldName(lineKey) == folded) return &line;
  }
  return nullptr;
}

std::string TIniFile::ReadBytes(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  const std::string* line = FindValueLine(section, key);
  if (!line) return std::string(fallback);
  std::string_view value = TrimProfileBlanks(std::string_view(*line).substr(line->find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  if (!ValueExists(section, key)) return std::string(fallback);
  return GbkToUtf8(ReadBytes(section, key, {}));
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
  std::int32_t value;
  return ParseProfileInt(ReadBytes(section, key, {}), value) ? value : fallback;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::Store(std::string_view section, std::string_view key, std::string_view gbkValue) {
  const std::string gbkSection = Utf8ToGbk(section);
  const std::string gbkKey = Utf8ToGbk(key);
  std::string newLine = gbkKey + "=" + OneLine(gbkValue);
  const std::string foldedSection = FoldName(gbkSection);
  auto it = sectionIndex_.find(foldedSection);
  if (it == sectionIndex_.end()) {
    sectionIndex_.emplace(foldedSection, sections_.size());
    sections_.push_back(Section{"[" + gbkSection + "]", {std::move(newLine)}});
  } else {
    std::vector<std::string>& lines = sections_[it->second].Lines;
    const std::string foldedKey = FoldName(gbkKey);
    bool replaced = false;
    for (std::string& line : lines) {
      std::string_view lineKey;
      if (KeyOf(line, lineKey) && FoldName(lineKey) == foldedKey) {
        line = std::move(newLine);
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      // After the section's last non-blank line, so that blank lines keep separating sections.
      std::size_t at = lines.size();
      while (at > 0 && IsBlankLine(lines[at - 1])) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(newLine));
    }
  }
  dirty_ = true;
  if (!deferred_) UpdateFile();
}

void TIniFile::WriteBytes(std::string_view section, std::string_view key, std::string_view value) {
  Store(section, key, value);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Store(section, key, Utf8ToGbk(value));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  Store(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  Store(section, key, value ? "1" : "0");
}

std::string TIniFile::Serialize() const {
  std::string out;
  for (const Section& section : sections_) {
    if (!section.Header.empty()) out += section.Header + lineEnd_;
    for (const std::string& line : section.Lines) out += line + lineEnd_;
  }
  return out;
}

void TIniFile::UpdateFile() {
  if (!dirty_) return;
  if (!ReplaceFileContents(fileName_, Serialize()))
    throw EIniFileException("Unable to write to " + fileName_);
  dirty_ = false;
}

}  // namespace qm
