// The replacement batch file, byte for byte, and our interpreter carrying it out.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/Files.h"
#include "platform/Pacing.h"
#include "support/TempDir.h"
#include "update/BatchInterpreter.h"
#include "update/SelfReplace.h"
#include "update/UpdateList.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TUpdateList Item(const std::string& name, bool fetched) {
  TUpdateList item;
  item.ItemName = name;
  item.TargetName = name.substr(0, name.size() - 1) + "_";
  item.IsNewer = fetched;
  item.IsFetched = fetched;
  return item;
}

TEST(SelfReplaceBatch, OneFetchedExecutable) {
  UpdateItems = {Item("prog.exe", true)};
  TempDir dir;
  const std::string folder = dir.Path().string() + "/";
  EXPECT_EQ(WriteSelfReplaceBatch(folder), ".\\Self_del.bat");
  EXPECT_EQ(ReadFileBytes(dir.Path() / "Self_del.bat"),
            ":try0\r\n"
            "del \"prog.exe\"\r\n"
            "if exist \"prog.exe\" goto try0\r\n"
            "rename \"prog.ex_\" \"prog.exe\"\r\n"
            ".\\prog.exe\r\n"
            "del %0\r\n");
}

TEST(SelfReplaceBatch, TwoFetchedFilesKeepTheirEntryIndexes) {
  UpdateItems = {Item("prog", false), Item("lib/a.so", true), Item("x", false),
                 Item("Language/x.ini", true)};
  EXPECT_EQ(SelfReplaceBatchText(),
            ":try1\r\n"
            "del \"lib\\a.so\"\r\n"
            "if exist \"lib\\a.so\" goto try1\r\n"
            "rename \"lib\\a.s_\" \"a.so\"\r\n"
            ":try3\r\n"
            "del \"Language\\x.ini\"\r\n"
            "if exist \"Language\\x.ini\" goto try3\r\n"
            "rename \"Language\\x.in_\" \"x.ini\"\r\n"
            ".\\prog\r\n"
            "del %0\r\n");
  // Entry 0's name keeps its "/" unless entry 0 itself was fetched.
  UpdateItems = {Item("bin/prog", false), Item("a", true)};
  EXPECT_NE(SelfReplaceBatchText().find("\r\n.\\bin/prog\r\n"), std::string::npos);
  UpdateItems[0].IsFetched = 1;
  EXPECT_NE(SelfReplaceBatchText().find("\r\n.\\bin\\prog\r\n"), std::string::npos);
}

TEST(BatchInterpreter, RefusesLinesOfOtherForms) {
  std::vector<TBatchLine> lines;
  std::string error;
  EXPECT_TRUE(
      ParseSelfReplaceBatch(":try0\r\ndel \"a\"\r\nif exist \"a\" goto try0\r\n"
                            "rename \"a_\" \"a\"\r\n.\\a\r\ndel %0\r\n",
                            lines, error))
      << error;
  EXPECT_EQ(lines.size(), 6u);
  for (const char* bad : {"del a\r\n", "echo hi\r\n", "del \"../a\"\r\n", "del \"/etc/x\"\r\n",
                          "rename \"a_\" \"../a\"\r\n", "if exist \"a\" goto nowhere\r\n",
                          ".\\..\\x\r\n", "del \"a\" \"b\"\r\n", "rm -rf /\r\n"}) {
    EXPECT_FALSE(ParseSelfReplaceBatch(bad, lines, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.Path().string() + "/";
    SetPacingFactor(0);
    options_.Start = [this](const std::string& program, const std::string& folder) {
      started_.push_back(program);
      startFolder_ = folder;
      return true;
    };
  }
  void TearDown() override { SetPacingFactor(1); }
  int Run(std::ostream& log) {
    return RunSelfReplaceBatch(folder_ + "Self_del.bat", options_, log);
  }
  TempDir dir_;
  std::string folder_;
  TBatchOptions options_;
  std::vector<std::string> started_;
  std::string startFolder_;
};

TEST_F(InterpreterTest, ReplacesFilesRestartsAndDeletesItself) {
  std::filesystem::create_directories(dir_.Path() / "Language");
  WriteFileBytes(dir_.Path() / "prog", "old program");
  WriteFileBytes(dir_.Path() / "pro_", "new program");
  WriteFileBytes(dir_.Path() / "Language/x.ini", "old ini");
  WriteFileBytes(dir_.Path() / "Language/x.in_", "new ini");
  UpdateItems = {Item("prog", true), Item("other", false), Item("Language/x.ini", true)};
  WriteSelfReplaceBatch(folder_);
  std::ostringstream log;
  EXPECT_EQ(Run(log), kBatchDone) << log.str();
  EXPECT_EQ(log.str(), "");
  EXPECT_EQ(ReadFileBytes(dir_.Path() / "prog"), "new program");
  EXPECT_EQ(ReadFileBytes(dir_.Path() / "Language/x.ini"), "new ini");
  EXPECT_FALSE(FileExists(folder_ + "pro_"));
  EXPECT_FALSE(FileExists(folder_ + "Language/x.in_"));
  EXPECT_FALSE(FileExists(folder_ + "Self_del.bat"));
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0], folder_ + "prog");
  EXPECT_EQ(startFolder_ + "/", folder_);
}

TEST_F(InterpreterTest, GivesUpOnAFileThatStaysLocked) {
  WriteFileBytes(dir_.Path() / "prog", "old");
  WriteFileBytes(dir_.Path() / "pro_", "new");
  UpdateItems = {Item("prog", true)};
  WriteSelfReplaceBatch(folder_);
  int attempts = 0;
  options_.MaxRetries = 5;
  options_.Delete = [&](const std::string& path) {
    if (path == folder_ + "prog") {
      ++attempts;
      return false;
    }
    return DeleteFileAt(path);
  };
  std::ostringstream log;
  EXPECT_EQ(Run(log), kBatchGaveUp);
  EXPECT_EQ(attempts, 6);  // the first try and five retries
  EXPECT_NE(log.str().find("giving up"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir_.Path() / "prog"), "old");
  EXPECT_TRUE(FileExists(folder_ + "pro_"));
  EXPECT_TRUE(FileExists(folder_ + "Self_del.bat"));  // left for a look, nothing restarted
  EXPECT_TRUE(started_.empty());
}

TEST_F(InterpreterTest, ARetryThatSucceedsGoesOn) {
  WriteFileBytes(dir_.Path() / "prog", "old");
  WriteFileBytes(dir_.Path() / "pro_", "new");
  UpdateItems = {Item("prog", true)};
  WriteSelfReplaceBatch(folder_);
  int attempts = 0;
  options_.Delete = [&](const std::string& path) {
    if (path == folder_ + "prog" && ++attempts < 3) return false;  // released on the third try
    return DeleteFileAt(path);
  };
  std::ostringstream log;
  EXPECT_EQ(Run(log), kBatchDone) << log.str();
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(ReadFileBytes(dir_.Path() / "prog"), "new");
  EXPECT_EQ(started_.size(), 1u);
}

TEST_F(InterpreterTest, UnknownBatchChangesNothing) {
  WriteFileBytes(dir_.Path() / "prog", "old");
  WriteFileBytes(dir_.Path() / "Self_del.bat", "del \"prog\"\r\nformat c:\r\n");
  std::ostringstream log;
  EXPECT_EQ(Run(log), kBatchUnreadable);
  EXPECT_EQ(ReadFileBytes(dir_.Path() / "prog"), "old");
  EXPECT_NE(log.str().find("line 2"), std::string::npos);
}

}  // namespace
}  // namespace qm
