// quillmoss-cli settings: shows the settings in effect and the file they come from.
#include <iostream>

#include "cli/Commands.h"
#include "config/Setting.h"

namespace qm::cli {
namespace {

int RunSettings(const std::vector<std::string>& args) {
  ArgList list(args, {});
  const auto& pos = list.Positional();
  if (pos.size() != 1) throw UsageError("expected one of: show, file");
  if (pos[0] == "file") {
    std::cout << SettingsFile() << "\n";
    return 0;
  }
  if (pos[0] != "show") throw UsageError("unknown settings action '" + pos[0] + "'");
  // The same text SaveSettings would write into an empty file.
  std::string section;
  for (const TSettingEntry& entry : SettingsEntries()) {
    if (entry.Section != section) {
      section = entry.Section;
      std::cout << "[" << section << "]\n";
    }
    std::cout << entry.Key << "=" << entry.Value << "\n";
  }
  return 0;
}

QM_CLI_COMMAND("settings", "settings show|file   the settings in effect / the file they come from",
               RunSettings);

}  // namespace
}  // namespace qm::cli
