// The small file services the workers rely on: dates to the second, resumable appends, renames
// over existing files.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(Files, AFileDateReadsBackExactlyAsSetToTheSecond) {
  TempDir dir;
  const std::string file = (dir.Path() / "f.bin").string();
  WriteFileBytes(file, "x");
  // An odd second (no 2-second rounding) and a date long ago.
  for (std::time_t t : {std::time_t{1700000001}, std::time_t{946684799}}) {
    const TDateTime date = UnixToLocalDateTime(t);
    ASSERT_TRUE(SetFileDate(file, date));
    TDateTime back = 0;
    ASSERT_TRUE(GetFileDate(file, back));
    EXPECT_EQ(MillisecondsBetween(back, date), 0) << t;
    EXPECT_EQ(LocalDateTimeToUnix(back), t);
  }
  TDateTime none = 0;
  EXPECT_FALSE(GetFileDate((dir.Path() / "missing").string(), none));
  EXPECT_FALSE(SetFileDate((dir.Path() / "missing").string(), Now()));
}

TEST(Files, AWholeFileWrittenWithItsDate) {
  TempDir dir;
  const std::string file = (dir.Path() / "page.html").string();
  WriteFileBytes(file, "an older and longer text");
  const TDateTime date = UnixToLocalDateTime(1700000001);
  ASSERT_TRUE(WriteWholeFile(file, "new", date));
  EXPECT_EQ(ReadFileBytes(file), "new");
  TDateTime back = 0;
  ASSERT_TRUE(GetFileDate(file, back));
  EXPECT_EQ(LocalDateTimeToUnix(back), 1700000001);
  EXPECT_FALSE(WriteWholeFile((dir.Path() / "no" / "dir.html").string(), "x", date));
}

TEST(Files, ALoadedFileIsRewrittenInPlaceEvenAfterARename) {
  TempDir dir;
  const std::string file = (dir.Path() / "page.html.tmp").string();
  const std::string renamed = (dir.Path() / "page.html").string();
  const TDateTime date = UnixToLocalDateTime(1700000000);
  // Shorter than what was there (the tail must go), longer, the same length, and empty.
  for (const std::string& bytes :
       {std::string("short"), std::string(70000, 'y'), std::string(9000, 'z'), std::string()}) {
    WriteFileBytes(file, std::string(9000, 'x'));
    TRewritableFile loaded;
    std::string text;
    ASSERT_TRUE(loaded.Load(file, text));
    EXPECT_EQ(text, std::string(9000, 'x'));
    ASSERT_TRUE(loaded.Writable());
    ASSERT_TRUE(RenameFileTo(file, renamed));
    ASSERT_TRUE(loaded.Rewrite(bytes, date)) << bytes.size();
    ASSERT_TRUE(loaded.Close());
    EXPECT_EQ(ReadFileBytes(renamed), bytes);
    TDateTime back = 0;
    ASSERT_TRUE(GetFileDate(renamed, back));
    EXPECT_EQ(LocalDateTimeToUnix(back), 1700000000);
  }
  // Twice over one load: the second, shorter text cuts what the first wrote.
  WriteFileBytes(file, "0123456789");
  TRewritableFile loaded;
  std::string text;
  ASSERT_TRUE(loaded.Load(file, text));
  ASSERT_TRUE(loaded.Rewrite("abcdefghijklmnop", date));
  ASSERT_TRUE(loaded.Rewrite("xyz", date));
  loaded.Close();
  EXPECT_EQ(ReadFileBytes(file), "xyz");
  // Only a file that is there is loaded, and a closed one is not written.
  EXPECT_FALSE(loaded.Load((dir.Path() / "missing").string(), text));
  EXPECT_FALSE(loaded.Writable());
  EXPECT_FALSE(loaded.Rewrite("x", date));
}

TEST(Files, AnAppendFileResumesAtItsLengthAndCanStartOver) {
  TempDir dir;
  const std::string file = (dir.Path() / "part.tmp").string();
  {
    TAppendFile f;
    ASSERT_TRUE(f.Open(file));
    EXPECT_EQ(f.Size(), 0);
    ASSERT_TRUE(f.Append("hello "));
  }
  TAppendFile f;
  ASSERT_TRUE(f.Open(file));
  EXPECT_EQ(f.Size(), 6);
  ASSERT_TRUE(f.Append("world"));
  EXPECT_EQ(f.Size(), 11);
  f.Close();
  EXPECT_EQ(ReadFileBytes(file), "hello world");
  ASSERT_TRUE(f.Open(file));
  ASSERT_TRUE(f.Truncate());
  ASSERT_TRUE(f.Append("again"));
  f.Close();
  EXPECT_EQ(ReadFileBytes(file), "again");
  EXPECT_EQ(f.Size(), -1);
  EXPECT_FALSE(f.Append("closed"));
  EXPECT_FALSE(f.Open((dir.Path() / "no" / "such" / "dir").string()));
}

TEST(Files, WholeFilesReadBackAndStampsTellAChange) {
  TempDir dir;
  const std::string file = (dir.Path() / "page.html").string();
  std::string bytes(200000, 'a');
  bytes[1] = '\0';  // binary content comes back whole
  WriteFileBytes(file, bytes);
  std::string read = "old content";
  ASSERT_TRUE(ReadWholeFile(file, read));
  EXPECT_EQ(read, bytes);
  EXPECT_FALSE(ReadWholeFile((dir.Path() / "missing").string(), read));
  EXPECT_FALSE(ReadWholeFile(dir.Path().string(), read));  // a directory

  std::int64_t size = 0, changed = 0, size2 = 0, changed2 = 0;
  ASSERT_TRUE(FileStamp(file, size, changed));
  EXPECT_EQ(size, 200000);
  WriteFileBytes(file, "b");
  ASSERT_TRUE(FileStamp(file, size2, changed2));
  EXPECT_EQ(size2, 1);
  EXPECT_FALSE(FileStamp((dir.Path() / "missing").string(), size, changed));
}

TEST(Files, RenameReplacesAndDeleteToleratesMissingFiles) {
  TempDir dir;
  const std::string a = (dir.Path() / "a").string();
  const std::string b = (dir.Path() / "b").string();
  ASSERT_TRUE(WriteWholeFile(a, "new"));
  ASSERT_TRUE(WriteWholeFile(b, "old and longer"));
  EXPECT_EQ(FileSizeOf(b), 14);
  ASSERT_TRUE(RenameFileTo(a, b));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadFileBytes(b), "new");
  EXPECT_EQ(FileSizeOf(a), -1);
  EXPECT_FALSE(RenameFileTo(a, b));
  EXPECT_TRUE(DeleteFileAt(b));
  EXPECT_TRUE(DeleteFileAt(b));
  EXPECT_FALSE(FileExists(b));
  EXPECT_TRUE(DirectoryExists(dir.Path().string()));
  EXPECT_FALSE(FileExists(dir.Path().string()));
}

// What stands at the path of a new file or a move's target, for the two replacing writes.
enum class TInTheWay { Nothing, File, LinkToOutside, EmptyFolder };

void PutInTheWay(TInTheWay what, const std::filesystem::path& at,
                 const std::filesystem::path& outside) {
  switch (what) {
    case TInTheWay::Nothing:
      break;
    case TInTheWay::File:
      WriteFileBytes(at, "an older copy, longer than the new one");
      break;
    case TInTheWay::LinkToOutside:
      std::filesystem::create_symlink(outside, at);
      break;
    case TInTheWay::EmptyFolder:
      std::filesystem::create_directory(at);
      break;
  }
}

TEST(Files, NewFilesAndMovesReplaceWhatIsInTheWayAndNeverWriteThroughALink) {
  for (TInTheWay what :
       {TInTheWay::Nothing, TInTheWay::File, TInTheWay::LinkToOutside, TInTheWay::EmptyFolder}) {
    SCOPED_TRACE(static_cast<int>(what));
    TempDir dir;
    const auto outside = dir.Path() / "outside";
    WriteFileBytes(outside, "not ours");

    const auto written = dir.Path() / "page.tmp";
    PutInTheWay(what, written, outside);
    ASSERT_TRUE(WriteNewFile(written.string(), "fetched"));
    EXPECT_FALSE(std::filesystem::is_symlink(written));
    EXPECT_EQ(ReadFileBytes(written), "fetched");

    const auto moved = dir.Path() / "page";
    PutInTheWay(what, moved, outside);
    ASSERT_TRUE(RenameReplacing(written.string(), moved.string()));
    EXPECT_FALSE(std::filesystem::exists(written));
    EXPECT_FALSE(std::filesystem::is_symlink(moved));
    EXPECT_EQ(ReadFileBytes(moved), "fetched");
    EXPECT_EQ(ReadFileBytes(outside), "not ours");

    // A move whose source is gone fails and leaves its target as it was.
    EXPECT_FALSE(RenameReplacing(written.string(), moved.string()));
    EXPECT_EQ(ReadFileBytes(moved), "fetched");
  }
}

TEST(Files, ANewFileCannotReplaceAFolderWithContent) {
  TempDir dir;
  const auto folder = dir.Path() / "page.tmp";
  std::filesystem::create_directories(folder / "inner");
  EXPECT_FALSE(WriteNewFile(folder.string(), "fetched"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "inner"));
}

}  // namespace
}  // namespace qm
