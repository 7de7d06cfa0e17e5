// The task file commands of quillmoss-cli, run as the user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "support/RunProgram.h"
#include "support/TaskSettingsEdit.h"
#include "support/TaskTables.h"
#include "support/TempDir.h"
#include "task/Task.h"
#include "task/TaskFile.h"

namespace qm {
namespace {

using namespace ::qm::test;

using test::ProgramResult;

class TaskCommandsTest : public ::testing::Test {
 protected:
  // A task of 7 records: the start page saved, one page downloaded, one failed, one waiting.
  std::string WriteGoodFile() {
    TTask task;
    test::BuildSmallTable(task, 3);
    SetDepth(task, 5);
    SetScope(task, ScopeSite);
    SetContent(task, ContentEverything);
    SetForeignImages(task, true);
    task.Urls[4].Status = Downloaded;
    task.Urls[5].Status = DownloadError;
    task.Urls[5].ReferId = 4;
    const std::string path = (dir_.Path() / "good.web").string();
    EXPECT_TRUE(WriteTaskFile(task, path).Ok);
    return path;
  }
  std::string WriteBytes(const std::string& name, const std::string& bytes) {
    const auto p = dir_.Path() / name;
    test::WriteFileBytes(p, bytes);
    return p.string();
  }

  test::TempDir dir_;
};

TEST_F(TaskCommandsTest, InfoPrintsSettingsCountsAndProgress) {
  const ProgramResult r = test::RunCli({"info", WriteGoodFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  // Entries 0 (saved, 1000 bytes), 4 (downloaded, 1004 bytes), 5 (failed), 6 (waiting);
  // progress counts saved and failed entries: 2 of 4.
  EXPECT_EQ(r.Out,
            "Depth=5\nScope=0\nContent=-1\nForeignImages=1\nRecords=7\nTotal=4\n"
            "NotDownloaded=1\nDownloaded=1\nSaved=1\nErrors=1\nAnalysisErrors=0\n"
            "SavedBytes=2004\nProgress=50%\n");
}

TEST_F(TaskCommandsTest, DumpPrintsOneLinePerRecord) {
  const ProgramResult r = test::RunCli({"dump", WriteGoodFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "0,http://h/a/x.html,已保存,3,2023-03-15 12:00:00,ReferId=0\n"
            "1,,未下载,0,1899-12-30 00:00:00,ReferId=0\n"
            "2,h,未下载,0,1899-12-30 00:00:00,ReferId=0\n"
            "3,a,未下载,0,1899-12-30 00:00:00,ReferId=0\n"
            "4,http://h/a/4.html,已下载,1,2023-03-19 12:00:00,ReferId=0\n"
            "5,http://h/a/5.html,错误,4,2023-03-20 12:00:00,ReferId=4\n"
            "6,http://h/a/6.html,未下载,0,2023-03-21 12:00:00,ReferId=0\n");
}

TEST_F(TaskCommandsTest, UnreadableFilesGiveAMessageAndFailure) {
  const std::string good = test::ReadFileBytes(WriteGoodFile());
  std::string noRecords = good;
  test::SetHeaderInt(noRecords, 12, 0);
  std::string badSize = good;
  test::SetHeaderInt(badSize, 16, 0);
  std::string negative = good;
  test::SetHeaderInt(negative, 12, INT_MIN);
  const std::vector<std::pair<std::string, std::string>> files = {
      {(dir_.Path() / "missing.web").string(), "missing.web"},
      {WriteBytes("empty.web", ""), "empty"},
      {WriteBytes("short.web", good.substr(0, 60)), "missing"},
      {WriteBytes("none.web", noRecords), "no records"},
      {WriteBytes("size.web", badSize), "record size"},
      {WriteBytes("neg.web", negative), "-2147483648"},
      {dir_.Path().string(), "not a file"},
  };
  for (const auto& [path, says] : files) {
    for (const char* command : {"info", "dump"}) {
      SCOPED_TRACE(std::string(command) + " " + path);
      const ProgramResult r = test::RunCli({command, path});
      EXPECT_EQ(r.Signal, 0);
      EXPECT_EQ(r.ExitCode, 1);
      EXPECT_EQ(r.Out, "");
      EXPECT_NE(r.Err.find(says), std::string::npos) << r.Err;
    }
  }
}

TEST_F(TaskCommandsTest, DamagedButReadableFileIsShownWithAWarning) {
  const std::string good = test::ReadFileBytes(WriteGoodFile());
  const std::string cut = WriteBytes("cut.web", good.substr(0, 128 + 5 * 185 + 7));
  ProgramResult r = test::RunCli({"dump", cut});
  ASSERT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Err.find("5 of 7 records"), std::string::npos) << r.Err;
  EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 5);
  r = test::RunCli({"info", cut});
  ASSERT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Out.find("Records=5\n"), std::string::npos);
  EXPECT_NE(r.Err.find("warning"), std::string::npos);
}

TEST_F(TaskCommandsTest, DamagedDateIsShownAsANumber) {
  TTask task;
  test::BuildSmallTable(task, 1);
  task.Urls[4].FileTime = 1e300;
  const std::string path = (dir_.Path() / "date.web").string();
  ASSERT_TRUE(WriteTaskFile(task, path).Ok);
  const ProgramResult r = test::RunCli({"dump", path});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find("4,http://h/a/4.html,未下载,0,1e+300,ReferId=0\n"), std::string::npos)
      << r.Out;
}

TEST_F(TaskCommandsTest, WrongArgumentsAreUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"info"}, {"dump"}, {"info", "a", "b"}, {"dump", "--x", "1", "f"}}) {
    const ProgramResult r = test::RunCli(args);
    EXPECT_EQ(r.ExitCode, 2) << args[0];
    EXPECT_NE(r.Err.find("usage"), std::string::npos);
  }
}

}  // namespace
}  // namespace qm
