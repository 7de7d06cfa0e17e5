#include "update/FileVersion.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

// "a.b.c.d" followed by NUL, each number 0..65535.
bool ParseRecordVersion(std::string_view text, std::uint32_t version[2]) {
  std::uint32_t numbers[4] = {0, 0, 0, 0};
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 5) {
      numbers[i] = numbers[i] * 10 + static_cast<std::uint32_t>(text[pos] - '0');
      ++pos;
    }
    if (pos == start || numbers[i] > 0xFFFFu || pos >= text.size()) return false;
    const char expected = i < 3 ? '.' : '\0';
    if (text[pos] != expected) return false;
    ++pos;
  }
  version[0] = numbers[0] << 16 | numbers[1];
  version[1] = numbers[2] << 16 | numbers[3];
  return true;
}

}  // namespace

bool FindVersionRecord(std::string_view bytes, std::uint32_t version[2]) {
  for (std::size_t at = bytes.find(kVersionRecordMarker); at != std::string_view::npos;
       at = bytes.find(kVersionRecordMarker, at + 1)) {
    // The reader's own copy of the marker is followed by NUL, not a version, and is skipped.
    if (ParseRecordVersion(bytes.substr(at + kVersionRecordMarker.size(), 32), version))
      return true;
  }
  return false;
}

bool ReadVersionRecord(const std::string& path, std::uint32_t version[2]) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool found = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      found = FindVersionRecord(std::string_view(static_cast<const char*>(map), size), version);
      ::munmap(map, size);
    }
  }
  ::close(fd);
  return found;
}

}  // namespace qm
