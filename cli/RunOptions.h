#pragma once
// What the commands that create or run tasks share: their options and the terminal window.
#include <cstdint>

#include "cli/Commands.h"
#include "cli/TerminalWindow.h"
#include "manager/TaskManager.h"

namespace qm::cli {

// --threads and --pace: worker count and pacing.
void ApplyRunOptions(const ArgList& args);
// --depth, --scope, --content and --foreign-images over the program settings.
TaskSettings SettingsFromArgs(const ArgList& args);
// --mode normal|update|repair|restart (normal when absent).
std::int32_t RunModeFromArgs(const ArgList& args);

// The terminal as the engine's window while a command runs.
struct WindowScope {
  TerminalWindow window;
  WindowScope() { SetWindow(&window); }
  ~WindowScope() { SetWindow(nullptr); }
  WindowScope(const WindowScope&) = delete;
  WindowScope& operator=(const WindowScope&) = delete;
};

}  // namespace qm::cli
