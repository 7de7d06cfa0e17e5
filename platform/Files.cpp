#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qm {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool DeleteFileAt(const std::string& path) {
  // Most deletions are of a temporary file that is not there: no second look for those.
  if (std::remove(path.c_str()) == 0 || errno == ENOENT) return true;
  return !FileExists(path);
}

bool RenameFileTo(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  if (RenameFileTo(from, to)) return true;
  // Only what stands in the way is removed: a missing source leaves the target alone.
  if (errno != EISDIR && errno != EEXIST && errno != ENOTEMPTY) return false;
  return DeleteFileAt(to) && RenameFileTo(from, to);
}

bool GetFileDate(const std::string& path, TDateTime& date) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  date = UnixToLocalDateTime(st.st_mtime);
  return true;
}

namespace {

// Access and modification time of a local date-time, whole seconds.
struct TFileTimes {
  explicit TFileTimes(TDateTime date) {
    times[0].tv_sec = LocalDateTimeToUnix(date);
    times[0].tv_nsec = 0;
    times[1] = times[0];
  }
  struct timespec times[2];
};

}  // namespace

bool SetFileDate(const std::string& path, TDateTime date) {
  const TFileTimes t(date);
  return ::utimensat(AT_FDCWD, path.c_str(), t.times, 0) == 0;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

namespace {

// Reads an open file to its end into `bytes`, sized once from its length with a spare byte so
// that the read that finds the end needs no room of its own.
bool ReadOpenFile(int fd, std::string& bytes) {
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bytes.resize(ok ? static_cast<std::size_t>(st.st_size) + 1 : 0);
  std::size_t done = 0;
  while (ok) {
    if (done == bytes.size()) bytes.resize(done + 65536);
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    done += static_cast<std::size_t>(n);
    // A short read of a regular file that has reached its known length is its end: no second
    // read to find it. A file that grows meanwhile is read to its end.
    if (done < bytes.size() && done >= static_cast<std::size_t>(st.st_size)) break;
  }
  bytes.resize(done);
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ReadOpenFile(fd, bytes);
  ::close(fd);
  return ok;
}

bool FileStamp(const std::string& path, std::int64_t& size, std::int64_t& changed) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::int64_t>(st.st_size);
  changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return true;
}

namespace {

constexpr int kReplaceFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;

// Writes all of `bytes` to a file just opened (fd < 0: it could not be), gives it `date` when
// there is one (through the open file: no second look-up of the path), and closes it.
bool WriteAndClose(int fd, std::string_view bytes, const TDateTime* date = nullptr) {
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, bytes);
  if (ok && date) {
    const TFileTimes t(*date);
    ::futimens(fd, t.times);
  }
  return (::close(fd) == 0) && ok;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  return WriteAndClose(::open(path.c_str(), kReplaceFlags, 0644), bytes);
}

bool WriteNewFile(const std::string& path, std::string_view bytes) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int fd = ::open(path.c_str(), kFlags, 0644);
  if (fd < 0 && errno == EEXIST && DeleteFileAt(path)) fd = ::open(path.c_str(), kFlags, 0644);
  return WriteAndClose(fd, bytes);
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, TDateTime date) {
  return WriteAndClose(::open(path.c_str(), kReplaceFlags, 0644), bytes, &date);
}

bool TRewritableFile::Load(const std::string& path, std::string& bytes) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  writable_ = fd_ >= 0;
  if (fd_ < 0 && (errno == EACCES || errno == EROFS))
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  const bool ok = ReadOpenFile(fd_, bytes);
  size_ = bytes.size();
  return ok;
}

bool TRewritableFile::Rewrite(std::string_view bytes, TDateTime date) {
  if (!Writable()) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  // A longer text has extended the file; a shorter one leaves a tail to cut.
  if (ok && bytes.size() < size_) ok = ::ftruncate(fd_, static_cast<off_t>(bytes.size())) == 0;
  if (ok) {
    size_ = bytes.size();
    const TFileTimes t(date);
    ::futimens(fd_, t.times);
  }
  return ok;
}

bool TRewritableFile::Close() {
  const bool ok = fd_ < 0 || ::close(fd_) == 0;
  fd_ = -1;
  writable_ = false;
  return ok;
}

bool TAppendFile::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

void TAppendFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::int64_t TAppendFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool TAppendFile::Append(std::string_view bytes) {
  return fd_ >= 0 && WriteAll(fd_, bytes);
}

bool TAppendFile::Truncate() {
  return fd_ >= 0 && ::ftruncate(fd_, 0) == 0;
}

}  // namespace qm
