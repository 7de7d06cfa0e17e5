// The settings at the start of a task file's header, changed in place by the task settings
// dialog for a task that is not in memory.
#include <stdexcept>

#include "task/TaskFile.h"
#include "task/TaskFileIo.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace taskfile;

[[noreturn]] void Fail(const char* what, const std::string& path) {
  throw std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(errno));
}

void ReadHeader(int fd, const std::string& path, unsigned char (&header)[kTaskFileHeaderSize]) {
  const std::int64_t got = ReadAt(fd, header, sizeof header, 0);
  if (got < 0) Fail("cannot read", path);
  if (got < static_cast<std::int64_t>(sizeof header))
    throw std::runtime_error(path + " is not a task file (shorter than its header)");
}

}  // namespace

TaskSettings ReadTaskFileSettings(const std::string& path) {
  FileDescriptor file(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) Fail("cannot open", path);
  unsigned char header[kTaskFileHeaderSize];
  ReadHeader(file.Get(), path, header);
  TaskSettings settings;
  settings.Depth = GetInt32(header, kOffDepth);
  settings.Scope = GetInt32(header, kOffScope);
  settings.Content = GetInt32(header, kOffContent);
  settings.ForeignImages = header[kOffForeignImages] != 0;
  return settings;
}

void WriteTaskFileSettings(const std::string& path, const TaskSettings& settings) {
  FileDescriptor file(::open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC));
  if (file.Get() < 0) Fail("cannot open", path);
  unsigned char header[kTaskFileHeaderSize];
  ReadHeader(file.Get(), path, header);
  PutInt32(header, kOffDepth, settings.Depth);
  PutInt32(header, kOffScope, settings.Scope);
  PutInt32(header, kOffContent, settings.Content);
  header[kOffForeignImages] = settings.ForeignImages ? 1 : 0;
  if (::lseek(file.Get(), 0, SEEK_SET) != 0 || !WriteAll(file.Get(), header, sizeof header) ||
      ::fsync(file.Get()) != 0 || file.Close() != 0)
    Fail("cannot write", path);
}

}  // namespace qm
