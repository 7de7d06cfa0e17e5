#pragma once
// The binary task file: the four download settings, the whole URL table and the admitted
// directories of a task, little-endian, in three blocks:
//   header   128 bytes (settings, record count and size, directory count, program version)
//   table    Count records of 185 bytes (TExtendUrlRec), index 0 first
//   dirs     ExtraDirs records of 129 bytes (ExtraDirRec)
// Paths are in the program's form ("\" separators); they meet the file system only here.
//
// A task file holds hours of the user's work, so writing never damages the one on disk: the new
// file is written beside it with ".tmp" appended, flushed to the disk and only then moved over
// the old one. Reading never trusts the header: counts are checked against the file's size,
// and links that point outside the table are repaired (with a warning) before anything uses
// them.
#include <cstdint>
#include <string>

#include "task/TaskSettings.h"

namespace qm {

class TTask;

inline constexpr std::size_t kTaskFileHeaderSize = 128;
inline constexpr std::int32_t kTaskFileRecordSize = 185;
inline constexpr std::int32_t kTaskFileDirSize = 129;

// Read and replace the settings in the header of the task file at `path` in place, leaving every
// other byte as it is. Raise std::runtime_error when the file cannot be read or written, or is
// shorter than a header (such a file is not written to).
TaskSettings ReadTaskFileSettings(const std::string& path);
void WriteTaskFileSettings(const std::string& path, const TaskSettings& settings);

// The outcome of a read or write. `Message` explains a failure, or, after a successful read that
// had to drop or repair something, says what (empty when all went well).
struct TTaskFileResult {
  bool Ok = false;
  std::string Message;
  explicit operator bool() const { return Ok; }
};

// Writes the task's file at Folder + FileName, creating Folder when missing. An existing file
// becomes the backup (same name + ".bak"; a backup there before is replaced) only once the new
// file is complete on disk; when writing fails, both the file and its backup stay as they were.
TTaskFileResult SaveTaskFile(TTask& task);

// Writes the task file at `path` without a backup. Holds the task's TableLock while the table
// is copied out, so a running task may be saved. The old file at `path` is replaced only by a
// complete new one.
TTaskFileResult WriteTaskFile(TTask& task, const std::string& path);

// Reads Folder + FileName; fails when that file does not exist.
TTaskFileResult LoadTaskFile(TTask& task);

// Reads the task file at `path` into the task (settings, table, admitted directories) before any
// thread of the task runs. Entries left "in progress" by an interrupted run become "not
// downloaded"; StartUrl is taken from record 0; Loaded is set. On failure the task is left as
// it was.
TTaskFileResult ReadTaskFile(TTask& task, const std::string& path);

}  // namespace qm
