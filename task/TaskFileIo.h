#pragma once
// The task file's header layout and the small file operations its readers and writers share.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qm::taskfile {

// Header offsets.
inline constexpr std::size_t kOffDepth = 0, kOffScope = 4, kOffContent = 8, kOffCount = 12,
                             kOffRecordSize = 16, kOffDirCount = 20, kOffDirSize = 24,
                             kOffForeignImages = 36, kOffVersionHigh = 37, kOffVersionLow = 41;

inline std::int32_t GetInt32(const unsigned char* header, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, header + offset, sizeof v);
  return v;
}

inline void PutInt32(unsigned char* header, std::size_t offset, std::int32_t v) {
  std::memcpy(header + offset, &v, sizeof v);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now and reports the result (a delayed write error may surface only here).
  int Close() {
    const int r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

// Reads up to n bytes at offset; returns the bytes read (fewer only at the end of the file) or
// -1 with errno set.
inline std::int64_t ReadAt(int fd, void* buffer, std::size_t n, std::int64_t offset) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<std::int64_t>(done);
}

// Writes all n bytes; false with errno set when the disk refuses some of them.
inline bool WriteAll(int fd, const void* buffer, std::size_t n) {
  const auto* p = static_cast<const char*>(buffer);
  while (n > 0) {
    const ssize_t r = ::write(fd, p, n);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = ENOSPC;
      return false;
    }
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

}  // namespace qm::taskfile
