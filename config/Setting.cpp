#include "config/Setting.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/ConfigPaths.h"
#include "platform/IniFile.h"

namespace qm {
namespace {

constexpr std::string_view kMainSection = "主要设置";
constexpr std::string_view kUpdateSection = "更新设置";
constexpr std::string_view kCookiesSection = "Cookies设置";
constexpr std::string_view kRejectStringsKey = "特殊字符串";
constexpr std::string_view kLinksSection = "链接设置";
constexpr std::string_view kStyleAndMediaKey = "样式表和媒体链接";
constexpr std::string_view kHttpsSection = "HTTPS设置";
constexpr std::string_view kVerifyKey = "验证服务器证书";
constexpr std::string_view kExtraCaKey = "附加CA证书文件";

std::string& ChosenSettingsFile() {
  static std::string fileName;
  return fileName;
}

std::string ExecutableSettingsFile() {
  const std::string exe = ExecutablePath();
  return exe.empty() ? exe : exe + ".ini";
}

}  // namespace

std::string UserSettingsFile() {
  return UserConfigFile("quillmoss.ini");
}

namespace {

std::string FormatInt(std::int32_t v) {
  return std::to_string(v);
}
std::string FormatBool(bool v) {
  return v ? "1" : "0";
}

// "a;;b;" gives "a", "" and "b": empty texts between separators count, a trailing one does not.
std::vector<std::string> SplitRejectStrings(std::string_view joined) {
  std::vector<std::string> items;
  std::size_t semi;
  while ((semi = joined.find(';')) != std::string_view::npos) {
    items.emplace_back(joined.substr(0, semi));
    joined.remove_prefix(semi + 1);
  }
  if (!joined.empty()) items.emplace_back(joined);
  return items;
}

std::string JoinRejectStrings(const std::vector<std::string>& items) {
  std::string joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) joined += ';';
    joined += items[i];
  }
  return joined;
}

void ReadInt(const TIniFile& ini, std::string_view section, std::string_view key,
             std::atomic<std::int32_t>& variable) {
  variable = ini.ReadInteger(section, key, variable);
}

void ReadBool(const TIniFile& ini, std::string_view section, std::string_view key,
              std::atomic<bool>& variable) {
  variable = ini.ReadBool(section, key, variable);
}

}  // namespace

std::vector<std::string> TSettingStrings::Items() const {
  std::lock_guard<std::mutex> guard(lock_);
  return items_;
}

void TSettingStrings::Assign(std::vector<std::string> items) {
  std::lock_guard<std::mutex> guard(lock_);
  items_ = std::move(items);
}

void TSettingStrings::Add(std::string item) {
  std::lock_guard<std::mutex> guard(lock_);
  items_.push_back(std::move(item));
}

void TSettingStrings::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  items_.clear();
}

std::string TSettingText::Get() const {
  std::lock_guard<std::mutex> guard(lock_);
  return text_;
}

void TSettingText::Set(std::string text) {
  std::lock_guard<std::mutex> guard(lock_);
  text_ = std::move(text);
}

std::size_t TSettingStrings::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return items_.size();
}

void ResetSettings() {
  DefaultContent = 1;
  DefaultScope = 1;
  DefaultForeignImages = false;
  DefaultDepth = -1;
  ThreadCount = 10;
  NoUpdateStatic = true;
  NoUpdateErrors = true;
  UpdatePagesOnly = true;
  UseSystemCookies = true;
  RejectStringsOn = true;
  RejectStrings.Assign({"cookies.asp?", "&action="});
  StyleAndMediaLinks = true;
  VerifyCertificates = true;
  ExtraCaFile.Set("");
  AutoUpdateNonPages = true;
}

std::string DefaultSettingsFile() {
  return ChooseConfigFile(ExecutableSettingsFile(), UserSettingsFile());
}

std::string SettingsFile() {
  std::string& chosen = ChosenSettingsFile();
  if (chosen.empty()) chosen = DefaultSettingsFile();
  return chosen;
}

void SetSettingsFile(std::string fileName) {
  ChosenSettingsFile() = std::move(fileName);
}

std::vector<TSettingEntry> SettingsEntries() {
  const std::string main(kMainSection), update(kUpdateSection), cookies(kCookiesSection),
      links(kLinksSection), https(kHttpsSection);
  return {
      {main, "下载内容", FormatInt(DefaultContent)},
      {main, "下载范围", FormatInt(DefaultScope)},
      {main, "图片位置", FormatBool(DefaultForeignImages)},
      {main, "下载层数", FormatInt(DefaultDepth)},
      {main, "下载线程", FormatInt(ThreadCount)},
      {update, "不更新静态网页", FormatBool(NoUpdateStatic)},
      {update, "不更新错误文件", FormatBool(NoUpdateErrors)},
      {update, "只更新网页文件", FormatBool(UpdatePagesOnly)},
      {cookies, "使用系统Cookies", FormatBool(UseSystemCookies)},
      {cookies, "是否拒绝包含特殊字符串的URL", FormatBool(RejectStringsOn)},
      {cookies, std::string(kRejectStringsKey), JoinRejectStrings(RejectStrings.Items())},
      {links, std::string(kStyleAndMediaKey), FormatBool(StyleAndMediaLinks)},
      {https, std::string(kVerifyKey), FormatBool(VerifyCertificates)},
      {https, std::string(kExtraCaKey), ExtraCaFile.Get()},
  };
}

void LoadSettings() {
  const TIniFile ini(SettingsFile());
  if (ini.SectionExists(kMainSection)) {
    ReadInt(ini, kMainSection, "下载内容", DefaultContent);
    ReadInt(ini, kMainSection, "下载范围", DefaultScope);
    ReadBool(ini, kMainSection, "图片位置", DefaultForeignImages);
    ReadInt(ini, kMainSection, "下载层数", DefaultDepth);
    ReadInt(ini, kMainSection, "下载线程", ThreadCount);
  }
  if (ini.SectionExists(kUpdateSection)) {
    ReadBool(ini, kUpdateSection, "不更新静态网页", NoUpdateStatic);
    ReadBool(ini, kUpdateSection, "不更新错误文件", NoUpdateErrors);
    ReadBool(ini, kUpdateSection, "只更新网页文件", UpdatePagesOnly);
  }
  if (ini.SectionExists(kCookiesSection)) {
    ReadBool(ini, kCookiesSection, "使用系统Cookies", UseSystemCookies);
    ReadBool(ini, kCookiesSection, "是否拒绝包含特殊字符串的URL", RejectStringsOn);
    // An empty value keeps the list: a saved empty list brings the start entries back.
    const std::string joined = ini.ReadString(kCookiesSection, kRejectStringsKey, "");
    if (!joined.empty()) RejectStrings.Assign(SplitRejectStrings(joined));
  }
  if (ini.SectionExists(kLinksSection))
    ReadBool(ini, kLinksSection, kStyleAndMediaKey, StyleAndMediaLinks);
  if (ini.SectionExists(kHttpsSection)) {
    ReadBool(ini, kHttpsSection, kVerifyKey, VerifyCertificates);
    ExtraCaFile.Set(ini.ReadString(kHttpsSection, kExtraCaKey, ExtraCaFile.Get()));
  }
}

void SaveSettings() {
  const std::string fileName = SettingsFile();
  if (fileName == UserSettingsFile()) {
    std::error_code ec;  // a failure shows as the write error below
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path(), ec);
  }
  // A file that cannot even be read cannot be written without losing what it holds.
  std::optional<TIniFile> ini;
  try {
    ini.emplace(fileName);
  } catch (const EIniFileException&) {
    throw EIniFileException("Unable to write to " + fileName);
  }
  for (const TSettingEntry& entry : SettingsEntries())
    ini->WriteString(entry.Section, entry.Key, entry.Value);
}

}  // namespace qm
