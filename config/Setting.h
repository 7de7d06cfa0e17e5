#pragma once
// The program-wide settings: defaults for new tasks, the number of download threads, the switches
// of update runs, cookies and refused links. They change only on the main thread (the settings
// dialogs, LoadSettings) and are read by the worker and analysis threads of a running task.
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace qm {

// A list of strings that other threads read while the main thread may replace it.
class TSettingStrings {
 public:
  TSettingStrings(std::initializer_list<std::string> items) : items_(items) {}
  std::vector<std::string> Items() const;
  void Assign(std::vector<std::string> items);
  void Add(std::string item);
  void Clear();
  std::size_t Count() const;

 private:
  mutable std::mutex lock_;
  std::vector<std::string> items_;
};

// One text that other threads read while the main thread may replace it.
class TSettingText {
 public:
  std::string Get() const;
  void Set(std::string text);

 private:
  mutable std::mutex lock_;
  std::string text_;
};

// Start values, before the settings file is read.
inline std::atomic<std::int32_t> DefaultContent{1};  // 1 pages and images, 0 pages, -1 all
inline std::atomic<std::int32_t> DefaultScope{1};    // 0 site, 1 host, 2 directory
inline std::atomic<bool> DefaultForeignImages{false};
inline std::atomic<std::int32_t> DefaultDepth{-1};  // -1 unlimited
inline std::atomic<std::int32_t> ThreadCount{10};
inline std::atomic<bool> NoUpdateStatic{true};
inline std::atomic<bool> NoUpdateErrors{true};
inline std::atomic<bool> UpdatePagesOnly{true};
inline std::atomic<bool> UseSystemCookies{true};
inline std::atomic<bool> RejectStringsOn{true};
inline TSettingStrings RejectStrings{"cookies.asp?", "&action="};
// Links in style sheets, <style> blocks and style attributes, srcset and media tags are taken
// too; off, a page yields exactly the links of the classic tag scans.
inline std::atomic<bool> StyleAndMediaLinks{true};
// https:// servers: whether their certificates are checked (turned off only to copy a site with a
// self-signed certificate), and a PEM file of CAs trusted besides the system's store.
inline std::atomic<bool> VerifyCertificates{true};
inline TSettingText ExtraCaFile;
// "自动更新非网页文件": on at every start and never stored in the file.
inline std::atomic<bool> AutoUpdateNonPages{true};

// Puts every variable back to its start value.
void ResetSettings();

// The settings file: the executable's path with ".ini" when its directory can be written, else
// quillmoss/quillmoss.ini in the user's configuration directory ($XDG_CONFIG_HOME or ~/.config).
std::string DefaultSettingsFile();
// quillmoss/quillmoss.ini in the user's configuration directory; empty when there is no home.
std::string UserSettingsFile();
// The file LoadSettings and SaveSettings use; DefaultSettingsFile() until another is set.
std::string SettingsFile();
void SetSettingsFile(std::string fileName);

// Reads the file into the variables; missing sections and keys keep the current values. A file
// that exists but cannot be read raises EIniFileException.
void LoadSettings();
// Writes every variable to the file, leaving other sections and keys untouched. A value that
// cannot be written raises EIniFileException("Unable to write to <file>") and the rest are not
// written.
void SaveSettings();

// The stored settings in file order, with their values as SaveSettings writes them.
struct TSettingEntry {
  std::string Section;
  std::string Key;
  std::string Value;
};
std::vector<TSettingEntry> SettingsEntries();

}  // namespace qm
