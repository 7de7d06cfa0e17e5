#include "update/UpdateList.h"

#include <charconv>
#include <cstdio>

#include "platform/Files.h"
#include "update/FileVersion.h"

namespace qm {
namespace {

std::string Cut(std::string_view text, std::size_t max) {
  return std::string(text.substr(0, std::min(text.size(), max)));
}

bool IsDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

unsigned DaysInMonth(long y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return value;
}

std::string TextBetweenMarkers(std::string_view text, std::string_view open,
                               std::string_view close) {
  const std::size_t start = text.find(open);
  const std::size_t end = text.find(close);
  if (start == std::string_view::npos || end == std::string_view::npos) return {};
  const std::size_t from = start + open.size();
  if (end < from) return {};
  return std::string(text.substr(from, end - from));
}

void ParseVersion(std::string_view text, std::uint32_t version[2]) {
  if (text.empty()) return;
  std::int32_t numbers[4];
  std::string_view rest = text;
  for (int i = 0; i < 3; ++i) {
    const std::size_t dot = rest.find('.');
    // A missing dot leaves an empty piece, which does not convert.
    const std::string_view piece =
        dot == std::string_view::npos ? std::string_view() : rest.substr(0, dot);
    numbers[i] = StrToInt(piece);
    rest.remove_prefix(dot + 1);
  }
  numbers[3] = StrToInt(rest);
  version[0] =
      static_cast<std::uint32_t>(numbers[0]) * 65536u + static_cast<std::uint32_t>(numbers[1]);
  version[1] =
      static_cast<std::uint32_t>(numbers[2]) * 65536u + static_cast<std::uint32_t>(numbers[3]);
}

std::string FormatVersion(const std::uint32_t version[2]) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", version[0] >> 16, version[0] & 0xFFFFu,
                version[1] >> 16, version[1] & 0xFFFFu);
  return buf;
}

TDateTime ParseListDate(std::string_view text) {
  const auto fail = [&]() -> TDateTime {
    throw EConvertError("'" + std::string(text) + "' is not a valid date");
  };
  const std::size_t d1 = text.find('-');
  const std::size_t d2 = d1 == std::string_view::npos ? d1 : text.find('-', d1 + 1);
  if (d2 == std::string_view::npos) return fail();
  const std::string_view ys = text.substr(0, d1), ms = text.substr(d1 + 1, d2 - d1 - 1),
                         ds = text.substr(d2 + 1);
  if (ys.size() != 4 || !IsDigits(ys) || !IsDigits(ms) || ms.size() > 2 || !IsDigits(ds) ||
      ds.size() > 2)
    return fail();
  const long y = std::stol(std::string(ys));
  const unsigned m = static_cast<unsigned>(std::stoul(std::string(ms)));
  const unsigned d = static_cast<unsigned>(std::stoul(std::string(ds)));
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return fail();
  return kUnixEpochDays + static_cast<double>(DaysFromCivil(y, m, d));
}

std::string FormatListDate(TDateTime date) {
  const std::string iso = FormatDateTimeIso(date);
  return iso.substr(0, 10);
}

FileStampRec ReadFileStamp(const std::string& name, const std::string& second,
                           const std::string& folder) {
  FileStampRec stamp;
  stamp.StampName = Cut(name, FileStampRec::kNameMax);
  stamp.StampUrl = Cut(second, FileStampRec::kUrlMax);
  std::string path = folder;
  for (char c : name) path += c == '\\' ? '/' : c;
  TDateTime date = 0;
  if (!name.empty() && FileExists(path) && GetFileDate(path, date)) {
    stamp.StampDate = date;
    ReadVersionRecord(path, stamp.StampVersion);
  }
  return stamp;
}

bool ReadItemNames(std::string_view listText, std::string_view programName,
                   std::vector<std::string>& names) {
  const std::string p = LowerAscii(programName);
  const std::string block = TextBetweenMarkers(listText, "[updatelist]", "[/updatelist]");
  std::string_view rest;
  const std::string list = TextBetweenMarkers(block, "<" + p + ">", "</" + p + ">");
  rest = list;
  names.clear();
  for (std::size_t comma = rest.find(','); comma != std::string_view::npos;
       comma = rest.find(',')) {
    names.emplace_back(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  if (!rest.empty()) names.emplace_back(rest);
  return !names.empty();
}

bool ReadItemSection(std::string_view listText, std::string_view key, FileStampRec& remote) {
  const std::string k = LowerAscii(key);
  const std::string section = TextBetweenMarkers(listText, "[" + k + "]", "[/" + k + "]");
  if (section.empty()) return false;
  ParseVersion(TextBetweenMarkers(section, "<ver>", "</ver>"), remote.StampVersion);
  remote.StampDate = ParseListDate(TextBetweenMarkers(section, "<date>", "</date>"));
  remote.StampUrl = Cut(TextBetweenMarkers(section, "<url>", "</url>"), FileStampRec::kUrlMax);
  return true;
}

std::string ReadItemDescription(std::string_view listText, std::string_view key) {
  const std::string k = LowerAscii(key);
  const std::string section = TextBetweenMarkers(listText, "[" + k + "]", "[/" + k + "]");
  return TextBetweenMarkers(section, "<description>", "</description>");
}

bool RemoteIsNewer(const FileStampRec& local, const FileStampRec& remote) {
  if (local.StampVersion[0] == 0) return local.StampDate < remote.StampDate;
  if (local.StampVersion[0] != remote.StampVersion[0])
    return local.StampVersion[0] < remote.StampVersion[0];
  return local.StampVersion[1] < remote.StampVersion[1];
}

bool IsSafeItemName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
  if (name.back() == '/' || name.back() == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F || c == '"') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

bool BuildUpdateList(std::string_view listText, std::string_view programName,
                     const std::string& folder) {
  std::vector<std::string> names;
  if (!ReadItemNames(listText, programName, names)) return false;
  std::vector<TUpdateList> items(names.size());
  bool anyNewer = false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    TUpdateList& item = items[i];
    item.ItemName = names[i];
    // A name that would write outside the program's folder is never offered.
    if (!IsSafeItemName(item.ItemName)) continue;
    item.LocalInfo = ReadFileStamp(item.ItemName, item.ItemName, folder);
    const std::string key = std::string(programName) + "/" + item.LocalInfo.StampName;
    if (!ReadItemSection(listText, key, item.RemoteInfo)) continue;
    item.Description = ReadItemDescription(listText, key);
    if (RemoteIsNewer(item.LocalInfo, item.RemoteInfo)) {
      item.TargetName = item.ItemName.substr(0, item.ItemName.size() - 1) + "_";
      item.IsNewer = 1;
      anyNewer = true;
    }
  }
  UpdateItems = std::move(items);
  return anyNewer;
}

std::string ToBackslashes(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace qm
