// quillmoss-cli: the headless program on the same engine as the window.

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "config/Setting.h"
#include "platform/HeapArenas.h"
#include "platform/Version.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "Quillmoss " << qm::kVersionText << " - offline browser, headless program\n"
      << "usage: quillmoss-cli [--settings FILE] COMMAND ...\n"
      << "  --settings FILE  read the settings from FILE instead of the default settings file\n"
      << "commands:\n";
  for (const auto& [name, command] : qm::cli::Registry()) {
    (void)name;
    out << "  quillmoss-cli " << command.Usage << "\n";
  }
}

// Takes "--settings FILE" (or "--settings=FILE") out of the arguments, wherever it stands, so
// that every command runs on the chosen settings without knowing of the option.
bool TakeSettingsOption(std::vector<std::string>& args, std::optional<std::string>& file) {
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] == "--settings") {
      if (i + 1 >= args.size()) return false;
      file = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    } else if (args[i].rfind("--settings=", 0) == 0) {
      file = args[i].substr(11);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return !file || !file->empty();
}

}  // namespace

int main(int argc, char** argv) {
  qm::LimitHeapArenas();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<std::string> settingsFile;
  if (!TakeSettingsOption(args, settingsFile)) {
    std::cerr << "quillmoss-cli: option --settings needs a file name\n";
    return 2;
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(args.empty() ? std::cerr : std::cout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "quillmoss-cli " << qm::kVersionText << "\n";
    return 0;
  }
  auto& registry = qm::cli::Registry();
  auto it = registry.find(args[0]);
  if (it == registry.end()) {
    std::cerr << "quillmoss-cli: unknown command '" << args[0] << "'\n";
    PrintUsage(std::cerr);
    return 2;
  }
  try {
    if (settingsFile) qm::SetSettingsFile(*settingsFile);
    qm::LoadSettings();
  } catch (const std::exception& e) {
    std::cerr << "quillmoss-cli: settings file: " << e.what() << "\n";
    return 1;
  }
  try {
    return it->second.Run(std::vector<std::string>(args.begin() + 1, args.end()));
  } catch (const qm::cli::UsageError& e) {
    std::cerr << "quillmoss-cli " << it->first << ": " << e.what() << "\n"
              << "usage: quillmoss-cli " << it->second.Usage << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "quillmoss-cli " << it->first << ": " << e.what() << "\n";
    return 1;
  }
}
