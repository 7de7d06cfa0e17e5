#include "task/TaskFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/Version.h"
#include "support/RecordingWindow.h"
#include "support/TaskSettingsEdit.h"
#include "support/TaskTables.h"
#include "support/TempDir.h"
#include "task/Task.h"

namespace qm {
namespace {

using namespace ::qm::test;

namespace fs = std::filesystem;
using test::BuildSmallTable;
using test::HeaderInt;
using test::ReadFileBytes;
using test::SetHeaderInt;
using test::WriteFileBytes;

std::string RecordBytes(const TExtendUrlRec& r) {
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

ExtraDirRec MakeDir(const std::string& dir, bool selected) {
  ExtraDirRec d;
  std::memset(&d, 0, sizeof d);
  d.Dir.Set(dir);
  d.Selected = selected ? 1 : 0;
  return d;
}

class TaskFileTest : public ::testing::Test {
 protected:
  // A path in the program's form, and the same file as the file system names it.
  std::string PathOf(const std::string& name) const { return dir_.TaskFolder() + name; }
  fs::path NativeOf(const std::string& name) const { return dir_.Path() / name; }

  // Writes a small task file and returns its bytes.
  std::string WriteSample(const std::string& name, int extra = 1) {
    TTask task;
    BuildSmallTable(task, extra);
    EXPECT_TRUE(WriteTaskFile(task, PathOf(name)).Ok);
    return ReadFileBytes(NativeOf(name));
  }

  // Reads `bytes` as a task file into a task that already holds a table of its own.
  TTaskFileResult ReadBytes(const std::string& bytes, TTask& task) {
    WriteFileBytes(NativeOf("case.web"), bytes);
    return ReadTaskFile(task, PathOf("case.web"));
  }

  test::TempDir dir_;
  test::ScopedRecordingWindow window_;
};

TEST_F(TaskFileTest, WritesHeaderTableAndDirectoriesByteForByte) {
  TTask task;
  BuildSmallTable(task, 2);
  SetDepth(task, 3);
  SetScope(task, ScopeDirectory);
  SetContent(task, ContentEverything);
  SetForeignImages(task, true);
  task.ExtraDirs = {MakeDir("a\\b\\", true), MakeDir("c\\", false)};
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);

  const std::string bytes = ReadFileBytes(NativeOf("t.web"));
  ASSERT_EQ(bytes.size(), 128u + 6 * 185 + 2 * 129);
  EXPECT_EQ(HeaderInt(bytes, 0), 3);
  EXPECT_EQ(HeaderInt(bytes, 4), ScopeDirectory);
  EXPECT_EQ(HeaderInt(bytes, 8), ContentEverything);
  EXPECT_EQ(HeaderInt(bytes, 12), 6);
  EXPECT_EQ(HeaderInt(bytes, 16), 185);
  EXPECT_EQ(HeaderInt(bytes, 20), 2);
  EXPECT_EQ(HeaderInt(bytes, 24), 129);
  EXPECT_EQ(bytes.substr(28, 8), std::string(8, '\0'));
  EXPECT_EQ(bytes[36], 1);
  EXPECT_EQ(HeaderInt(bytes, 37), kVersionMajor * 65536 + kVersionMinor);
  EXPECT_EQ(HeaderInt(bytes, 41), kVersionPatch * 65536);
  EXPECT_EQ(bytes.substr(45, 83), std::string(83, '\0'));
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(bytes.substr(128 + 185 * i, 185), RecordBytes(task.Urls[i])) << "record " << i;
  const std::size_t dirs = 128 + 6 * 185;
  EXPECT_EQ(static_cast<unsigned char>(bytes[dirs]), 4);
  EXPECT_EQ(bytes.substr(dirs + 1, 4), "a\\b\\");
  EXPECT_EQ(bytes[dirs + 128], 1);
  EXPECT_EQ(bytes.substr(dirs + 130, 2), "c\\");
  EXPECT_EQ(bytes[dirs + 129 + 128], 0);
  EXPECT_FALSE(fs::exists(NativeOf("t.web.tmp")));
}

TEST_F(TaskFileTest, ReadsBackSettingsTableAndDirectories) {
  TTask original;
  BuildSmallTable(original, 3);
  SetDepth(original, -1);
  SetScope(original, ScopeSite);
  SetContent(original, ContentPagesOnly);
  SetForeignImages(original, false);
  original.ExtraDirs = {MakeDir("x\\", true)};
  // An interrupted run left entry 4 claimed; the start URL was redirected to entry 5.
  original.Urls[4].Status = InProgress;
  original.Urls[0].RedirectId = 5;
  original.Urls[0].Status = Redirected;
  ASSERT_TRUE(WriteTaskFile(original, PathOf("t.web")).Ok);

  TTask task;
  SetDepth(task, 9);
  SetForeignImages(task, true);
  const TTaskFileResult r = ReadTaskFile(task, PathOf("t.web"));
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Message, "");
  EXPECT_EQ(task.Settings().Depth, -1);
  EXPECT_EQ(task.Settings().Scope, ScopeSite);
  EXPECT_EQ(task.Settings().Content, ContentPagesOnly);
  EXPECT_FALSE(task.Settings().ForeignImages);
  ASSERT_EQ(task.Count, 7);
  // Room for as many new records again before the table grows.
  EXPECT_EQ(task.Urls.size(), 14u);
  EXPECT_EQ(task.UrlFlags.size(), 14u);
  EXPECT_EQ(std::int32_t{task.Urls[4].Status}, NotDownloaded);
  for (int i = 0; i < 7; ++i) {
    if (i == 4) continue;
    EXPECT_EQ(RecordBytes(task.Urls[i]), RecordBytes(original.Urls[i])) << "record " << i;
  }
  EXPECT_EQ(RecordBytes(task.Urls[7]), RecordBytes(EmptyUrlRec()));
  for (const UrlFlagRec& f : task.UrlFlags) EXPECT_EQ(f.Checked, 0);
  ASSERT_EQ(task.ExtraDirs.size(), 1u);
  EXPECT_EQ(task.ExtraDirs[0].Dir.Get(), "x\\");
  EXPECT_EQ(task.ExtraDirs[0].Selected, 1);
  EXPECT_EQ(task.StartUrl(), "http://h/a/5.html");
  EXPECT_TRUE(task.Loaded);
  EXPECT_TRUE(window_.Lines().empty());
}

TEST_F(TaskFileTest, ReadingShowsProgressInBatches) {
  WriteSample("big.web", 3000);
  TTask task;
  ASSERT_TRUE(ReadTaskFile(task, PathOf("big.web")).Ok);
  const std::vector<int> shown = window_.ProgressValues();
  ASSERT_GE(shown.size(), 3u);  // 3004 records come in at least three batches of 1024
  EXPECT_LE(shown.size(), 101u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_EQ(shown.back(), 100);
}

TEST_F(TaskFileTest, SaveCreatesFolderAndKeepsPreviousFileAsBackup) {
  TTask task;
  BuildSmallTable(task, 1);
  task.Folder = dir_.TaskFolder() + "Websites\\deep\\";
  task.FileName = "h.web";
  const fs::path file = dir_.Path() / "Websites" / "deep" / "h.web";

  ASSERT_TRUE(SaveTaskFile(task).Ok);
  const std::string first = ReadFileBytes(file);
  EXPECT_FALSE(fs::exists(file.string() + ".bak"));

  task.Urls[4].Status = Saved;
  ASSERT_TRUE(SaveTaskFile(task).Ok);
  const std::string second = ReadFileBytes(file);
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadFileBytes(file.string() + ".bak"), first);

  SetDepth(task, 7);
  ASSERT_TRUE(SaveTaskFile(task).Ok);
  EXPECT_EQ(ReadFileBytes(file.string() + ".bak"), second);
  EXPECT_EQ(HeaderInt(ReadFileBytes(file), 0), 7);
  EXPECT_FALSE(fs::exists(file.string() + ".tmp"));

  TTask loaded;
  loaded.Folder = task.Folder;
  loaded.FileName = task.FileName;
  ASSERT_TRUE(LoadTaskFile(loaded).Ok);
  EXPECT_EQ(loaded.Settings().Depth, 7);
  EXPECT_EQ(std::int32_t{loaded.Urls[4].Status}, Saved);
}

// A disk that fills up while the file is written: the save fails, and the file and its backup
// are exactly what they were.
TEST_F(TaskFileTest, FailedWriteLeavesFileAndBackupIntact) {
  TTask task;
  BuildSmallTable(task, 200);  // about 38 KB
  task.Folder = dir_.TaskFolder();
  task.FileName = "h.web";
  ASSERT_TRUE(SaveTaskFile(task).Ok);
  task.Urls[5].Status = Saved;
  ASSERT_TRUE(SaveTaskFile(task).Ok);
  const std::string file = ReadFileBytes(NativeOf("h.web"));
  const std::string backup = ReadFileBytes(NativeOf("h.web.bak"));

  task.Urls[6].Status = Saved;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file size limit stands in for a full disk: writes past 16 KB fail with EFBIG.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{16384, 16384};
    setrlimit(RLIMIT_FSIZE, &limit);
    const TTaskFileResult save = SaveTaskFile(task);
    const TTaskFileResult write = WriteTaskFile(task, PathOf("h.web"));
    _exit(!save.Ok && !write.Ok && !save.Message.empty() && !write.Message.empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a write cut short was reported as success";
  EXPECT_EQ(ReadFileBytes(NativeOf("h.web")), file);
  EXPECT_EQ(ReadFileBytes(NativeOf("h.web.bak")), backup);
  EXPECT_FALSE(fs::exists(NativeOf("h.web.tmp")));
}

TEST_F(TaskFileTest, WriteIntoMissingOrUnusablePlaceFails) {
  TTask task;
  BuildSmallTable(task, 1);
  TTaskFileResult r = WriteTaskFile(task, PathOf("no\\such\\dir\\t.web"));
  EXPECT_FALSE(r.Ok);
  EXPECT_NE(r.Message.find("t.web"), std::string::npos) << r.Message;
  // The task file's name is taken by a directory.
  fs::create_directory(NativeOf("d.web"));
  r = WriteTaskFile(task, PathOf("d.web"));
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(fs::exists(NativeOf("d.web.tmp")));
  task.Folder = dir_.TaskFolder();
  task.FileName = "d.web";
  EXPECT_FALSE(SaveTaskFile(task).Ok);
  EXPECT_TRUE(fs::is_directory(NativeOf("d.web")));
  EXPECT_FALSE(fs::exists(NativeOf("d.web.bak")));
  // The task folder is a file.
  WriteFileBytes(NativeOf("plain"), "x");
  task.Folder = PathOf("plain\\");
  task.FileName = "t.web";
  EXPECT_FALSE(SaveTaskFile(task).Ok);
  EXPECT_EQ(ReadFileBytes(NativeOf("plain")), "x");
}

TEST_F(TaskFileTest, LoadOfMissingFileFails) {
  TTask task;
  task.Folder = dir_.TaskFolder();
  task.FileName = "none.web";
  const TTaskFileResult r = LoadTaskFile(task);
  EXPECT_FALSE(r.Ok);
  EXPECT_NE(r.Message.find("none.web"), std::string::npos);
  EXPECT_FALSE(task.Loaded);
  EXPECT_FALSE(ReadTaskFile(task, PathOf("none.web")).Ok);
  EXPECT_FALSE(ReadTaskFile(task, dir_.TaskFolder()).Ok);  // a directory
}

// Files that cannot give a table fail with a message and leave the task as it was.
TEST_F(TaskFileTest, FilesWithoutUsableTableAreRejected) {
  const std::string good = WriteSample("good.web", 2);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", ""});
  cases.push_back({"header cut short", good.substr(0, 20)});
  cases.push_back({"header only", good.substr(0, 128)});
  cases.push_back({"first record cut short", good.substr(0, 128 + 100)});
  std::string b = good;
  SetHeaderInt(b, 16, 0);
  cases.push_back({"record size 0", b});
  b = good;
  SetHeaderInt(b, 16, -185);
  cases.push_back({"negative record size", b});
  b = good;
  SetHeaderInt(b, 12, 0);
  cases.push_back({"no records", b});
  b = good;
  SetHeaderInt(b, 12, -3);
  cases.push_back({"negative record count", b});
  b = good;
  SetHeaderInt(b, 12, INT_MIN);
  cases.push_back({"most negative record count", b});
  b = good;
  SetHeaderInt(b, 16, INT_MAX);
  cases.push_back({"record larger than the file", b});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTask task;
    BuildSmallTable(task, 1);
    SetDepth(task, 4);
    const std::string before = RecordBytes(task.Urls[4]);
    const TTaskFileResult r = ReadBytes(c.bytes, task);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Message.empty());
    EXPECT_FALSE(task.Loaded);
    EXPECT_EQ(task.Count, 5);
    EXPECT_EQ(task.Settings().Depth, 4);
    EXPECT_EQ(RecordBytes(task.Urls[4]), before);
  }
}

// A table cut short keeps every whole record, says so, and asks for no more memory than the
// records that are really there.
TEST_F(TaskFileTest, TruncatedTableKeepsWholeRecords) {
  const std::string good = WriteSample("good.web", 5);  // 9 records
  TTask task;
  TTaskFileResult r = ReadBytes(good.substr(0, 128 + 6 * 185 + 90), task);
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_NE(r.Message.find("6 of 9 records"), std::string::npos) << r.Message;
  EXPECT_TRUE(task.Loaded);
  EXPECT_EQ(task.Count, 6);
  EXPECT_EQ(task.Urls.size(), 12u);
  EXPECT_EQ(RecordBytes(task.Urls[6]), RecordBytes(EmptyUrlRec()));  // the cut record is dropped
  EXPECT_EQ(task.Urls[5].Url.Get(), "http://h/a/5.html");
  // Node 3 listed children up to record 8; its list now ends at the last record kept.
  EXPECT_EQ(std::int32_t{task.Urls[5].NextId}, -1);
  EXPECT_EQ(std::int32_t{task.Urls[3].LastChildId}, 5);
  ASSERT_EQ(window_.Lines().size(), 1u);
  EXPECT_TRUE(window_.Lines()[0].Red);

  // A count that cannot be true: only the records present are read and allocated.
  std::string absurd = good;
  SetHeaderInt(absurd, 12, INT_MAX);
  TTask task2;
  r = ReadBytes(absurd, task2);
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_FALSE(r.Message.empty());
  EXPECT_EQ(task2.Count, 9);
  EXPECT_EQ(task2.Urls.size(), 18u);
}

TEST_F(TaskFileTest, AdmittedDirectoriesAreReadWithTheirFixedSize) {
  TTask task;
  BuildSmallTable(task, 1);
  task.ExtraDirs = {MakeDir("a\\", true), MakeDir("b\\", false), MakeDir("c\\d\\", true)};
  ASSERT_TRUE(WriteTaskFile(task, PathOf("d.web")).Ok);
  const std::string good = ReadFileBytes(NativeOf("d.web"));

  // The directory record size in the header is not used.
  std::string b = good;
  SetHeaderInt(b, 24, 77);
  TTask t1;
  TTaskFileResult r = ReadBytes(b, t1);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Message, "");
  ASSERT_EQ(t1.ExtraDirs.size(), 3u);
  EXPECT_EQ(t1.ExtraDirs[2].Dir.Get(), "c\\d\\");

  // More directories announced than the file holds: those present are kept.
  b = good;
  SetHeaderInt(b, 20, 1000000);
  TTask t2;
  r = ReadBytes(b.substr(0, b.size() - 10), t2);
  ASSERT_TRUE(r.Ok);
  EXPECT_NE(r.Message.find("2 of 1000000"), std::string::npos) << r.Message;
  ASSERT_EQ(t2.ExtraDirs.size(), 2u);
  EXPECT_EQ(t2.ExtraDirs[1].Dir.Get(), "b\\");
  EXPECT_EQ(t2.Count, 5);

  b = good;
  SetHeaderInt(b, 20, -1);
  TTask t3;
  r = ReadBytes(b, t3);
  ASSERT_TRUE(r.Ok);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_TRUE(t3.ExtraDirs.empty());
}

// Records of another size than 185 bytes: each fills the start of its slot.
TEST_F(TaskFileTest, RecordsOfOtherSizesFillTheStartOfASlot) {
  TTask task;
  BuildSmallTable(task, 1);
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);
  const std::string good = ReadFileBytes(NativeOf("t.web"));
  std::string header = good.substr(0, 128);

  for (int size : {100, 200}) {
    SCOPED_TRACE(size);
    std::string b = header;
    SetHeaderInt(b, 16, size);
    for (int i = 0; i < 5; ++i) {
      std::string rec = RecordBytes(task.Urls[i]) + std::string(20, 'z');
      b += rec.substr(0, static_cast<std::size_t>(size));
    }
    TTask t;
    const TTaskFileResult r = ReadBytes(b, t);
    ASSERT_TRUE(r.Ok) << r.Message;
    ASSERT_EQ(t.Count, 5);
    for (int i = 0; i < 5; ++i) {
      const std::string got = RecordBytes(t.Urls[i]);
      if (size < 185) {
        EXPECT_EQ(got.substr(0, 100), RecordBytes(task.Urls[i]).substr(0, 100));
        EXPECT_EQ(got.substr(100), std::string(85, '\0'));
      } else {
        EXPECT_EQ(got, RecordBytes(task.Urls[i]));
      }
    }
  }
}

TEST_F(TaskFileTest, LinksOutsideTheTableAreReset) {
  TTask task;
  BuildSmallTable(task, 3);  // records 0..6; node 3 lists 0, 4, 5, 6
  task.Urls[4].RedirectId = 5000;
  task.Urls[4].ReferId = -7;
  task.Urls[5].ReferId = 7;
  task.Urls[6].NextId = 123456;
  task.Urls[2].FirstChildId = -2;
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);

  TTask t;
  const TTaskFileResult r = ReadTaskFile(t, PathOf("t.web"));
  ASSERT_TRUE(r.Ok);
  EXPECT_NE(r.Message.find("broken links"), std::string::npos) << r.Message;
  EXPECT_EQ(std::int32_t{t.Urls[4].RedirectId}, -1);
  EXPECT_EQ(std::int32_t{t.Urls[4].ReferId}, 0);
  EXPECT_EQ(std::int32_t{t.Urls[5].ReferId}, 0);
  EXPECT_EQ(std::int32_t{t.Urls[6].NextId}, -1);
  EXPECT_EQ(std::int32_t{t.Urls[2].FirstChildId}, -1);
  EXPECT_EQ(std::int32_t{t.Urls[2].LastChildId}, -1);
  EXPECT_EQ(t.GetUrl(4), "http://h/a/4.html");
  EXPECT_TRUE(window_.Lines().at(0).Red);
}

// Records of 181 bytes carry every tree link but the last: those they carry are checked too.
TEST_F(TaskFileTest, LinksOfShorterRecordsAreCheckedToo) {
  TTask task;
  BuildSmallTable(task, 2);
  task.Urls[4].NextId = 999999;
  task.Urls[5].NextId = 4;  // a loop back
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);
  const std::string good = ReadFileBytes(NativeOf("t.web"));
  std::string b = good.substr(0, 128);
  SetHeaderInt(b, 16, 181);
  for (int i = 0; i < 6; ++i) b += good.substr(128 + 185 * i, 181);
  TTask t;
  const TTaskFileResult r = ReadBytes(b, t);
  ASSERT_TRUE(r.Ok);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_EQ(std::int32_t{t.Urls[4].NextId}, -1);
  for (int i = 0; i < t.Count; ++i) {
    const std::int32_t next = t.Urls[i].NextId;
    EXPECT_TRUE(next == -1 || (next >= 0 && next < t.Count));
  }
}

TEST_F(TaskFileTest, LoopingChildListsAreCut) {
  TTask task;
  BuildSmallTable(task, 3);
  task.Urls[6].NextId = 4;        // 0 -> 4 -> 5 -> 6 -> 4 ...
  task.Urls[2].NextId = 2;        // a node that is its own sibling
  task.Urls[1].FirstChildId = 1;  // the root its own child
  ASSERT_TRUE(WriteTaskFile(task, PathOf("t.web")).Ok);

  TTask t;
  const TTaskFileResult r = ReadTaskFile(t, PathOf("t.web"));
  ASSERT_TRUE(r.Ok);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_EQ(std::int32_t{t.Urls[6].NextId}, -1);
  EXPECT_EQ(std::int32_t{t.Urls[3].LastChildId}, 6);
  EXPECT_EQ(std::int32_t{t.Urls[1].FirstChildId}, -1);
  // Every child list now ends within the table.
  for (int node = 0; node < t.Count; ++node) {
    int steps = 0;
    for (int c = t.Urls[node].FirstChildId; c != -1; c = t.Urls[c].NextId)
      ASSERT_LT(++steps, t.Count);
  }
}

TEST_F(TaskFileTest, ValidFileNeedsNoRepair) {
  WriteSample("t.web", 50);
  TTask t;
  const TTaskFileResult r = ReadTaskFile(t, PathOf("t.web"));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Message, "");
  EXPECT_TRUE(window_.Lines().empty());
}

}  // namespace
}  // namespace qm
