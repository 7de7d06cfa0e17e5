#include "cli/Commands.h"

#include <algorithm>
#include <cstdlib>

namespace qm::cli {

std::map<std::string, Command>& Registry() {
  static std::map<std::string, Command> registry;
  return registry;
}

Registrar::Registrar(Command command) {
  std::string name = command.Name;
  Registry().emplace(std::move(name), std::move(command));
}

ArgList::ArgList(const std::vector<std::string>& args, const std::vector<std::string>& valued) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      const std::string name = a.substr(2);
      if (std::find(valued.begin(), valued.end(), name) == valued.end())
        throw UsageError("unknown option " + a);
      if (i + 1 >= args.size()) throw UsageError("option " + a + " needs a value");
      options_[name] = args[++i];
    } else {
      positional_.push_back(a);
    }
  }
}

std::optional<std::string> ArgList::Get(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

int ArgList::GetInt(const std::string& name, int fallback, int min, int max) const {
  auto v = Get(name);
  if (!v) return fallback;
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(v->c_str(), &end, 10);
  if (v->empty() || *end != '\0' || errno != 0 || n < min || n > max)
    throw UsageError("--" + name + " takes a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max));
  return static_cast<int>(n);
}

double ArgList::GetDouble(const std::string& name, double fallback, double min, double max) const {
  auto v = Get(name);
  if (!v) return fallback;
  char* end = nullptr;
  double d = std::strtod(v->c_str(), &end);
  if (v->empty() || *end != '\0' || !(d >= min && d <= max))
    throw UsageError("--" + name + " takes a number from " + std::to_string(min) + " to " +
                     std::to_string(max));
  return d;
}

}  // namespace qm::cli
