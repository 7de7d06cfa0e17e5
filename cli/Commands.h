#pragma once
// The headless program's commands. Each command lives in a file of its own and registers itself
// with a static QM_CLI_COMMAND, so adding one touches no other file.
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::cli {

// A usage error: main prints the message and the command's usage, and exits with 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Command {
  std::string Name;
  std::string Usage;  // one or more lines, without the program name
  std::function<int(const std::vector<std::string>& args)> Run;
};

std::map<std::string, Command>& Registry();

struct Registrar {
  explicit Registrar(Command command);
};

// Options of the form "--name value" among positional arguments.
class ArgList {
 public:
  // `valued` lists the options that take a value; anything else beginning "--" is an error.
  ArgList(const std::vector<std::string>& args, const std::vector<std::string>& valued);
  const std::vector<std::string>& Positional() const { return positional_; }
  std::optional<std::string> Get(const std::string& name) const;
  int GetInt(const std::string& name, int fallback, int min, int max) const;
  double GetDouble(const std::string& name, double fallback, double min, double max) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string> options_;
};

}  // namespace qm::cli

#define QM_CLI_CONCAT2(a, b) a##b
#define QM_CLI_CONCAT(a, b) QM_CLI_CONCAT2(a, b)
#define QM_CLI_COMMAND(...)                                    \
  static ::qm::cli::Registrar QM_CLI_CONCAT(qm_cli_registrar_, \
                                            __LINE__)(::qm::cli::Command{__VA_ARGS__})
