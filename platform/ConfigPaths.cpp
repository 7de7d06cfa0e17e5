#include "platform/ConfigPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace qm {

std::string ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string UserConfigFile(const std::string& name) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !home[0]) return {};
    base = std::string(home) + "/.config";
  }
  return base + "/quillmoss/" + name;
}

std::string ChooseConfigFile(const std::string& besideExecutable, const std::string& inUserConfig) {
  if (!besideExecutable.empty()) {
    const std::string dir = std::filesystem::path(besideExecutable).parent_path().string();
    if (::access(dir.c_str(), W_OK) == 0 || ::access(besideExecutable.c_str(), W_OK) == 0)
      return besideExecutable;
  }
  return inUserConfig.empty() ? besideExecutable : inUserConfig;
}

}  // namespace qm
