// quillmoss-cli: the headless program on the same engine as the window.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/Version.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "Quillmoss " << qm::kVersionText << " - offline browser, headless program\n"
      << "usage:\n";
  for (const auto& [name, command] : qm::cli::Registry()) {
    (void)name;
    out << "  quillmoss-cli " << command.Usage << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
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
