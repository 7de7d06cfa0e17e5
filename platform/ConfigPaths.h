#pragma once
// Where the program keeps its own files: beside the executable when that directory can be
// written, as the program has always done, else in the user's configuration directory.
#include <string>

namespace qm {

// The running executable's full path; empty when it cannot be found.
std::string ExecutablePath();
// `name` in quillmoss/ below the user's configuration directory ($XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config); empty when there is no home directory.
std::string UserConfigFile(const std::string& name);
// `besideExecutable` when it or its directory can be written (or when there is no user
// configuration directory), else `inUserConfig`.
std::string ChooseConfigFile(const std::string& besideExecutable, const std::string& inUserConfig);

}  // namespace qm
