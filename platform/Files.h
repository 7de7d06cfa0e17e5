#pragma once
// Small file-system services on native paths ("/" separators; convert "\" paths with NativePath
// first). None of them throws: failures are reported by the result.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace qm {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Size in bytes, -1 when the file does not exist or cannot be read.
std::int64_t FileSizeOf(const std::string& path);
// True when the file is gone afterwards (also when it never existed).
bool DeleteFileAt(const std::string& path);
// Moves `from` to `to`, replacing a file already at `to`.
bool RenameFileTo(const std::string& from, const std::string& to);
// The same, and what stands at `to` is removed as DeleteFileAt would (an empty folder, say) when
// it is in the way; nothing is removed when the move goes through at once or `from` is missing.
bool RenameReplacing(const std::string& from, const std::string& to);
// The modification date as a local date-time, whole seconds.
bool GetFileDate(const std::string& path, TDateTime& date);
// Sets the modification (and access) date to a local date-time, rounded to the second, so that
// GetFileDate gives back exactly the same value for a whole-second date.
bool SetFileDate(const std::string& path, TDateTime date);
// Reads the whole file into `bytes` (replacing its content); false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Size and time of the last change of content or attributes (nanoseconds) of a regular file:
// when both are as before, the file is as it was.
bool FileStamp(const std::string& path, std::int64_t& size, std::int64_t& changed);
// Writes the whole file, replacing one already there.
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Writes the whole file as a new one: whatever stands at `path` is first removed as DeleteFileAt
// would, so a link there is replaced, never written through. A path that is free costs no
// removal.
bool WriteNewFile(const std::string& path, std::string_view bytes);
// The same, then gives the file the date as SetFileDate does (a date that cannot be set is not
// reported).
bool WriteWholeFile(const std::string& path, std::string_view bytes, TDateTime date);
// A file read whole and kept open, so that new bytes can go over it later (after a rename, say)
// without a second look-up of its path.
class TRewritableFile {
 public:
  TRewritableFile() = default;
  TRewritableFile(const TRewritableFile&) = delete;
  TRewritableFile& operator=(const TRewritableFile&) = delete;
  ~TRewritableFile() { Close(); }

  // Reads the whole file into `bytes`; false when it cannot be opened or read. A file that may
  // not be written is read all the same (Writable tells).
  bool Load(const std::string& path, std::string& bytes);
  bool Writable() const { return fd_ >= 0 && writable_; }
  // Puts `bytes` in place of the file's content, reusing its storage, and dates it as SetFileDate
  // does.
  bool Rewrite(std::string_view bytes, TDateTime date);
  // False when closing reports an error (a write that failed late).
  bool Close();

 private:
  int fd_ = -1;
  bool writable_ = false;
  std::size_t size_ = 0;  // the content's length as loaded or last written
};

// A file written by appending blocks at its end, created when missing (a resumable download).
class TAppendFile {
 public:
  TAppendFile() = default;
  ~TAppendFile() { Close(); }
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  // Opens for reading and writing, positioned at the end.
  bool Open(const std::string& path);
  void Close();
  // The current length (the resume position); -1 when not open.
  std::int64_t Size() const;
  bool Append(std::string_view bytes);
  // Empties the file.
  bool Truncate();

 private:
  int fd_ = -1;
};

}  // namespace qm
