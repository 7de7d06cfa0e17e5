#include "update/BatchInterpreter.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "platform/Files.h"
#include "platform/Pacing.h"
#include "update/SelfReplace.h"
#include "update/UpdateList.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// One double-quoted name at the start of `rest`; the rest follows it.
bool TakeQuoted(std::string_view& rest, std::string& name) {
  if (rest.empty() || rest.front() != '"') return false;
  const std::size_t close = rest.find('"', 1);
  if (close == std::string_view::npos) return false;
  name = std::string(rest.substr(1, close - 1));
  rest.remove_prefix(close + 1);
  return IsSafeItemName(name);
}

bool TakeWord(std::string_view& rest, std::string_view word) {
  if (!rest.starts_with(word)) return false;
  rest.remove_prefix(word.size());
  return true;
}

std::string Native(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

bool ParseLine(std::string_view text, TBatchLine& line) {
  std::string_view rest = text;
  if (TakeWord(rest, ":")) {
    line = {TBatchLine::Kind::Label, LowerAscii(rest), {}};
    return !rest.empty() && rest.find_first_of(" \"") == std::string_view::npos;
  }
  if (text == "del %0") {
    line = {TBatchLine::Kind::DelSelf, {}, {}};
    return true;
  }
  if (TakeWord(rest, "del ")) {
    line = {TBatchLine::Kind::Del, {}, {}};
    return TakeQuoted(rest, line.First) && rest.empty();
  }
  if (TakeWord(rest, "if exist ")) {
    line = {TBatchLine::Kind::IfExistGoto, {}, {}};
    if (!TakeQuoted(rest, line.First) || !TakeWord(rest, " goto ")) return false;
    line.Second = LowerAscii(rest);
    return !rest.empty() && rest.find(' ') == std::string_view::npos;
  }
  if (TakeWord(rest, "rename ")) {
    line = {TBatchLine::Kind::Rename, {}, {}};
    if (!TakeQuoted(rest, line.First) || !TakeWord(rest, " ") || !TakeQuoted(rest, line.Second))
      return false;
    // The new name is a bare file name in the folder of the old one.
    return rest.empty() && line.Second.find_first_of("/\\") == std::string::npos;
  }
  if (TakeWord(rest, ".\\")) {
    line = {TBatchLine::Kind::Start, std::string(rest), {}};
    return IsSafeItemName(rest);
  }
  return false;
}

bool DefaultStart(const std::string& program, const std::string& folder) {
  return StartDetached(program, {}, folder);
}

bool DefaultDelete(const std::string& path) {
  return DeleteFileAt(path);
}

}  // namespace

bool ParseSelfReplaceBatch(std::string_view text, std::vector<TBatchLine>& lines,
                           std::string& error) {
  lines.clear();
  std::map<std::string, bool> labels;
  int number = 0;
  while (!text.empty()) {
    ++number;
    std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.empty()) continue;
    TBatchLine line{};
    if (!ParseLine(raw, line)) {
      error = "line " + std::to_string(number) + " is not understood: " + std::string(raw);
      return false;
    }
    if (line.kind == TBatchLine::Kind::Label) labels[line.First] = true;
    lines.push_back(std::move(line));
  }
  for (const TBatchLine& line : lines)
    if (line.kind == TBatchLine::Kind::IfExistGoto && !labels.count(line.Second)) {
      error = "label not found: " + line.Second;
      return false;
    }
  return true;
}

int RunSelfReplaceBatch(const std::string& batchPath, const TBatchOptions& options,
                        std::ostream& log) {
  std::string text;
  std::error_code ec;
  if (!fs::is_regular_file(batchPath, ec)) {
    log << "cannot read " << batchPath << "\n";
    return kBatchUnreadable;
  }
  {
    std::ifstream in(batchPath, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<TBatchLine> lines;
  std::string error;
  if (!ParseSelfReplaceBatch(text, lines, error)) {
    log << batchPath << ": " << error << "\n";
    return kBatchUnreadable;
  }
  std::string folder = fs::path(batchPath).parent_path().string();
  if (folder.empty()) folder = ".";
  const std::string base = folder + "/";
  const auto& start = options.Start ? options.Start : DefaultStart;
  const auto& remove = options.Delete ? options.Delete : DefaultDelete;

  std::map<std::string, int> retries;
  for (std::size_t pc = 0; pc < lines.size(); ++pc) {
    const TBatchLine& line = lines[pc];
    switch (line.kind) {
      case TBatchLine::Kind::Label:
        break;
      case TBatchLine::Kind::Del:
        if (!remove(base + Native(line.First))) log << "del " << line.First << " failed\n";
        break;
      case TBatchLine::Kind::IfExistGoto: {
        if (!FileExists(base + Native(line.First))) break;
        if (++retries[line.Second] > options.MaxRetries) {
          log << line.First << " is still in place after " << options.MaxRetries
              << " attempts; giving up\n";
          return kBatchGaveUp;
        }
        PacedSleep(options.RetryPauseMs);
        for (std::size_t j = 0; j < lines.size(); ++j)
          if (lines[j].kind == TBatchLine::Kind::Label && lines[j].First == line.Second) pc = j;
        break;
      }
      case TBatchLine::Kind::Rename: {
        const std::string from = base + Native(line.First);
        const std::string to = (fs::path(from).parent_path() / line.Second).string();
        if (FileExists(to) || !FileExists(from) || !RenameFileTo(from, to))
          log << "rename " << line.First << " " << line.Second << " failed\n";
        break;
      }
      case TBatchLine::Kind::Start:
        if (!start(base + Native(line.First), folder)) log << "cannot start " << line.First << "\n";
        break;
      case TBatchLine::Kind::DelSelf:
        remove(batchPath);
        break;
    }
  }
  return kBatchDone;
}

bool WaitForProcessEnd(pid_t pid, int timeoutMs) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
      rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    ::close(fd);
    return rc > 0;
  }
  if (errno == ESRCH) return true;
  // Without process descriptors: look every 50 ms.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (::kill(pid, 0) == 0 || errno == EPERM) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace qm
