#include "task/TaskFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/Version.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFileIo.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

using namespace taskfile;

static_assert(std::endian::native == std::endian::little,
              "task file records are copied as they lie in memory");
static_assert(sizeof(TExtendUrlRec) == kTaskFileRecordSize);
static_assert(sizeof(ExtraDirRec) == kTaskFileDirSize);

constexpr std::int32_t kRecordsPerRead = 1024;

TTaskFileResult Failure(std::string message) {
  return {false, std::move(message)};
}

std::string ErrnoText(int err) {
  return std::strerror(err);
}

std::string DirectoryOf(const std::string& nativePath) {
  const auto slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return nativePath.substr(0, slash);
}

// Makes a rename in the directory durable; best effort, as some file systems refuse it.
void SyncDirectory(const std::string& nativePath) {
  const int fd = ::open(DirectoryOf(nativePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// One task file is written at a time: two saves of a task would share the temporary file.
std::mutex g_writing;

// Writes the whole file to `tmp` and flushes it to the disk. `table` holds the task's TableLock
// and is released as soon as the table has been handed to the file system, so that workers do
// not wait for the disk. On failure the temporary file is removed.
TTaskFileResult WriteComplete(TTask& task, const std::string& tmp, const std::string& shownPath,
                              std::unique_lock<TReentrantLock>& table) {
  FileDescriptor file(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (file.Get() < 0) return Failure("cannot create " + shownPath + ": " + ErrnoText(errno));

  const std::int32_t count =
      std::clamp<std::int64_t>(task.Count, 0, static_cast<std::int64_t>(task.Urls.size()));
  unsigned char header[kTaskFileHeaderSize] = {};
  const TaskSettings settings = task.Settings();
  PutInt32(header, kOffDepth, settings.Depth);
  PutInt32(header, kOffScope, settings.Scope);
  PutInt32(header, kOffContent, settings.Content);
  PutInt32(header, kOffCount, count);
  PutInt32(header, kOffRecordSize, kTaskFileRecordSize);
  PutInt32(header, kOffDirCount, static_cast<std::int32_t>(task.ExtraDirs.size()));
  PutInt32(header, kOffDirSize, kTaskFileDirSize);
  header[kOffForeignImages] = settings.ForeignImages ? 1 : 0;
  PutInt32(header, kOffVersionHigh, kVersionMajor * 65536 + kVersionMinor);
  PutInt32(header, kOffVersionLow, kVersionPatch * 65536);

  int err = 0;
  bool ok = WriteAll(file.Get(), header, sizeof header);
  if (ok && count > 0)
    ok = WriteAll(file.Get(), task.Urls.data(),
                  static_cast<std::size_t>(count) * sizeof(TExtendUrlRec));
  if (ok && !task.ExtraDirs.empty())
    ok = WriteAll(file.Get(), task.ExtraDirs.data(), task.ExtraDirs.size() * sizeof(ExtraDirRec));
  table.unlock();
  if (ok) ok = ::fsync(file.Get()) == 0;
  if (!ok) err = errno;
  if (file.Close() != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return Failure("cannot write " + shownPath + ": " + ErrnoText(err));
  }
  return {true, {}};
}

// --- reading ---

// A table of many records is filled page by page; large pages make that several times cheaper
// where the system offers them on request. Only whole large pages inside the block are marked.
void AdviseLargePages(void* block, std::size_t bytes) {
  constexpr std::uintptr_t kLargePage = 2 << 20;
  if (bytes < 2 * kLargePage) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kLargePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

struct TLoadedTable {
  std::int32_t Count = 0;
  TUrlTable Urls;
  std::vector<ExtraDirRec> ExtraDirs;
};

// Reads n records of `recordSize` bytes that start at offset 128 into slots 0..n-1, in batches,
// showing progress. Returns the number of whole records read, or -1 on an I/O error.
std::int64_t ReadRecords(int fd, std::int32_t recordSize, std::int32_t n, TUrlTable& urls) {
  const std::size_t kept = std::min<std::size_t>(recordSize, sizeof(TExtendUrlRec));
  std::vector<char> staging;
  if (recordSize < kTaskFileRecordSize)
    staging.resize(static_cast<std::size_t>(kRecordsPerRead) * recordSize);
  int shownPercent = -1;
  std::int32_t done = 0;
  while (done < n) {
    const std::int64_t offset =
        static_cast<std::int64_t>(kTaskFileHeaderSize) + std::int64_t{done} * recordSize;
    std::int32_t got = 0;
    if (recordSize == kTaskFileRecordSize) {
      // The common case: a batch of records goes straight into the table.
      const std::int32_t batch = std::min(kRecordsPerRead, n - done);
      const std::int64_t r = ReadAt(fd, &urls[done], std::size_t(batch) * recordSize, offset);
      if (r < 0) return -1;
      got = static_cast<std::int32_t>(r / recordSize);
      if (got < batch)  // a partial record at the end is not part of the table
        std::memset(static_cast<void*>(&urls[done + got]), 0, sizeof(TExtendUrlRec));
    } else if (recordSize < kTaskFileRecordSize) {
      const std::int32_t batch = std::min(kRecordsPerRead, n - done);
      const std::int64_t r = ReadAt(fd, staging.data(), std::size_t(batch) * recordSize, offset);
      if (r < 0) return -1;
      got = static_cast<std::int32_t>(r / recordSize);
      for (std::int32_t k = 0; k < got; ++k)
        std::memcpy(static_cast<void*>(&urls[done + k]),
                    staging.data() + std::size_t(k) * recordSize, kept);
    } else {
      // Larger records than this program writes: only their first 185 bytes are used.
      const std::int64_t r = ReadAt(fd, &urls[done], kept, offset);
      if (r < 0) return -1;
      got = r == static_cast<std::int64_t>(kept) ? 1 : 0;
      if (got == 0) std::memset(static_cast<void*>(&urls[done]), 0, sizeof(TExtendUrlRec));
    }
    done += got;
    // The window is told only when the shown percentage changes.
    const int percent = static_cast<int>(std::int64_t{done} * 100 / n);
    if (percent != shownPercent) {
      shownPercent = percent;
      Window().SetProgress(percent);
    }
    if (got == 0) break;  // end of file
  }
  return done;
}

// Links that point outside the table, and sibling chains that loop or stray into another
// node's children, would send the lookup walks out of the table or round in circles. They are
// cut back to "none" (a reference to the start record for ReferId). Fields beyond a short
// record are zero, which is always inside the table; the chains are checked when the file
// supplied them. Returns the number of values changed on URL entries and in the lookup tree.
std::int64_t RepairLinks(TUrlTable& urls, std::int32_t count, std::int32_t recordSize) {
  const bool chainsStored = static_cast<std::size_t>(recordSize) >=
                            offsetof(TExtendUrlRec, NextId) + sizeof(std::int32_t);
  std::int64_t repaired = 0;
  auto inTable = [count](std::int32_t v) { return v >= 0 && v < count; };
  // A link to nowhere becomes "none".
  auto link = [&](std::int32_t v) {
    if (v == -1 || inTable(v)) return v;
    ++repaired;
    return -1;
  };
  for (std::int32_t i = 0; i < count; ++i) {
    TExtendUrlRec& r = urls[i];
    r.ParentId = link(r.ParentId);
    r.NextId = link(r.NextId);
    r.PrevId = link(r.PrevId);
    r.FirstChildId = link(r.FirstChildId);
    r.LastChildId = link(r.LastChildId);
    // Directory nodes do not use these two; whatever they hold is cleared without notice.
    const bool entry = r.Kind == 1;
    if (r.RedirectId != -1 && !inTable(r.RedirectId)) {
      r.RedirectId = -1;
      repaired += entry;
    }
    if (!inTable(r.ReferId)) {
      r.ReferId = 0;
      repaired += entry;
    }
  }
  if (!chainsStored) return repaired;
  // Every record is the child of at most one node, reached once along its parent's chain.
  std::vector<std::uint8_t> reached(static_cast<std::size_t>(count), 0);
  for (std::int32_t node = 0; node < count; ++node) {
    std::int32_t prev = -1;
    std::int32_t child = urls[node].FirstChildId;
    while (child != -1) {
      TExtendUrlRec& c = urls[child];
      if (reached[child] || c.ParentId != node) {
        if (prev == -1)
          urls[node].FirstChildId = -1;
        else
          urls[prev].NextId = -1;
        ++repaired;
        break;
      }
      reached[child] = 1;
      if (c.PrevId != prev) {
        c.PrevId = prev;
        ++repaired;
      }
      prev = child;
      child = c.NextId;
    }
    if (urls[node].LastChildId != prev) {
      urls[node].LastChildId = prev;
      ++repaired;
    }
  }
  return repaired;
}

void AppendNote(std::string& notes, const std::string& note) {
  if (!notes.empty()) notes += "; ";
  notes += note;
}

}  // namespace

TTaskFileResult WriteTaskFile(TTask& task, const std::string& path) {
  const std::string native = NativePath(path);
  const std::string tmp = native + ".tmp";
  std::unique_lock table(task.TableLock);
  std::lock_guard writing(g_writing);
  if (auto r = WriteComplete(task, tmp, path, table); !r) return r;
  if (::rename(tmp.c_str(), native.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    return Failure("cannot replace " + path + ": " + ErrnoText(err));
  }
  SyncDirectory(native);
  return {true, {}};
}

TTaskFileResult SaveTaskFile(TTask& task) {
  ForceDirs(task.Folder);
  const std::string path = task.Folder + task.FileName;
  const std::string native = NativePath(path);
  const std::string tmp = native + ".tmp";
  const std::string bak = native + ".bak";
  std::unique_lock table(task.TableLock);
  std::lock_guard writing(g_writing);
  if (auto r = WriteComplete(task, tmp, path, table); !r) return r;
  struct stat st;
  if (::lstat(native.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      ::unlink(tmp.c_str());
      return Failure("cannot replace " + path + ": it is not a file");
    }
    ::unlink(bak.c_str());
    // A second name for the old file keeps a task file in place at every moment; where the
    // file system has no hard links, the old file is moved aside instead.
    if (::link(native.c_str(), bak.c_str()) != 0 && ::rename(native.c_str(), bak.c_str()) != 0) {
      const int err = errno;
      ::unlink(tmp.c_str());
      return Failure("cannot keep the backup " + path + ".bak: " + ErrnoText(err));
    }
  }
  if (::rename(tmp.c_str(), native.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    if (::access(native.c_str(), F_OK) != 0) ::rename(bak.c_str(), native.c_str());
    return Failure("cannot replace " + path + ": " + ErrnoText(err));
  }
  SyncDirectory(native);
  return {true, {}};
}

TTaskFileResult LoadTaskFile(TTask& task) {
  const std::string path = task.Folder + task.FileName;
  if (::access(NativePath(path).c_str(), F_OK) != 0)
    return Failure("task file " + path + " does not exist");
  return ReadTaskFile(task, path);
}

TTaskFileResult ReadTaskFile(TTask& task, const std::string& path) {
  FileDescriptor file(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) return Failure("cannot open " + path + ": " + ErrnoText(errno));
  struct stat st;
  if (::fstat(file.Get(), &st) != 0)
    return Failure("cannot read " + path + ": " + ErrnoText(errno));
  if (!S_ISREG(st.st_mode)) return Failure(path + " is not a file");
  if (st.st_size == 0) return Failure(path + " is empty");
  const std::int64_t fileSize = st.st_size;

  unsigned char header[kTaskFileHeaderSize] = {};  // a short file leaves the rest zero
  if (ReadAt(file.Get(), header, sizeof header, 0) < 0)
    return Failure("cannot read " + path + ": " + ErrnoText(errno));
  const std::int32_t n = GetInt32(header, kOffCount);
  const std::int32_t recordSize = GetInt32(header, kOffRecordSize);
  std::int32_t dirCount = GetInt32(header, kOffDirCount);

  if (recordSize <= 0)
    return Failure(path + " is not a task file (record size " + std::to_string(recordSize) + ")");
  if (n < 0) return Failure(path + " is damaged: it claims " + std::to_string(n) + " records");
  if (n == 0) return Failure(path + " holds no records");

  // Nothing is sized from the header alone: a damaged count must not ask for gigabytes.
  std::string notes;
  const std::int64_t tableBytes =
      std::max<std::int64_t>(0, fileSize - std::int64_t(kTaskFileHeaderSize));
  const std::int32_t present =
      static_cast<std::int32_t>(std::min<std::int64_t>(n, tableBytes / recordSize));
  if (present == 0) return Failure(path + " is damaged: its table is missing");

  TLoadedTable loaded;
  const std::size_t capacity = 2 * static_cast<std::size_t>(present);
  loaded.Urls.reserve(capacity);
  AdviseLargePages(loaded.Urls.data(), capacity * sizeof(TExtendUrlRec));
  loaded.Urls.resize(capacity);
  const std::int64_t read = ReadRecords(file.Get(), recordSize, present, loaded.Urls);
  if (read < 0) return Failure("cannot read " + path + ": " + ErrnoText(errno));
  if (read == 0) return Failure(path + " is damaged: its table is missing");
  loaded.Count = static_cast<std::int32_t>(read);
  if (loaded.Count < n) {
    AppendNote(notes, "the file ends after " + std::to_string(loaded.Count) + " of " +
                          std::to_string(n) + " records; the rest of the table is lost");
    if (dirCount > 0) AppendNote(notes, "the admitted directories are lost");
  } else if (dirCount != 0) {
    // The directories always take 129 bytes each, whatever the header says.
    const std::int64_t dirOffset = std::int64_t(kTaskFileHeaderSize) + std::int64_t{n} * recordSize;
    const std::int64_t fit = std::max<std::int64_t>(0, fileSize - dirOffset) / kTaskFileDirSize;
    if (dirCount < 0) {
      AppendNote(notes, "invalid directory count " + std::to_string(dirCount) + " ignored");
      dirCount = 0;
    } else if (dirCount > fit) {
      AppendNote(notes, "the file ends after " + std::to_string(fit) + " of " +
                            std::to_string(dirCount) + " admitted directories");
      dirCount = static_cast<std::int32_t>(fit);
    }
    loaded.ExtraDirs.resize(static_cast<std::size_t>(dirCount));
    const std::size_t bytes = loaded.ExtraDirs.size() * sizeof(ExtraDirRec);
    const std::int64_t r = ReadAt(file.Get(), loaded.ExtraDirs.data(), bytes, dirOffset);
    if (r < 0) return Failure("cannot read " + path + ": " + ErrnoText(errno));
    loaded.ExtraDirs.resize(static_cast<std::size_t>(r) / sizeof(ExtraDirRec));
  }

  // An entry claimed by a worker when the last run was cut off waits for a worker again.
  for (std::int32_t i = 0; i < loaded.Count; ++i)
    if (loaded.Urls[i].Status == InProgress) loaded.Urls[i].Status = NotDownloaded;
  if (const std::int64_t repaired = RepairLinks(loaded.Urls, loaded.Count, recordSize);
      repaired > 0)
    AppendNote(notes, std::to_string(repaired) + " broken links of the table were reset");

  std::vector<UrlFlagRec> flags;
  flags.reserve(capacity);
  AdviseLargePages(flags.data(), capacity * sizeof(UrlFlagRec));
  flags.resize(capacity);
  {
    TLockGuard guard(task.TableLock);
    TaskSettings settings;
    settings.Depth = GetInt32(header, kOffDepth);
    settings.Scope = GetInt32(header, kOffScope);
    settings.Content = GetInt32(header, kOffContent);
    settings.ForeignImages = header[kOffForeignImages] != 0;
    task.SetSettings(settings);
    task.Count = loaded.Count;
    task.Urls = std::move(loaded.Urls);
    task.UrlFlags = std::move(flags);
    task.ExtraDirs = std::move(loaded.ExtraDirs);
    task.RebuildIndex();
  }
  task.SetStartUrl(task.GetUrl(0));
  task.Loaded = true;
  if (!notes.empty()) Window().AddRedLog("任务文件已损坏, 已尽量读入: " + path + ": " + notes);
  return {true, notes};
}

}  // namespace qm
