// The whole road in a temporary program folder: a stand-in program finds a newer build of itself
// on a local update server, downloads it and ends; our interpreter replaces the file after the
// program has ended and starts the new build, which reports its new version.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/IniFile.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "update/FileVersion.h"
#include "update/UpdateFetch.h"
#include "update/UpdateList.h"
#include "update/UpdateServerFixture.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

TEST(SelfUpdateEndToEnd, NewBuildReplacesTheOldAfterItEndedAndRuns) {
  test::TempDir dir;
  const fs::path program = dir.Path() / "qm-standin";
  fs::copy_file(QM_STANDIN_V1_PATH, program);
  fs::copy_file(QM_SELFUPDATE_PATH, dir.Path() / "quillmoss-selfupdate");
  const std::string newBuild = ReadFileBytes(QM_STANDIN_V2_PATH);
  std::uint32_t version[2] = {0, 0};
  ASSERT_TRUE(ReadVersionRecord(program.string(), version));
  ASSERT_EQ(FormatVersion(version), "1.0.0.1");
  ASSERT_TRUE(FindVersionRecord(newBuild, version));
  ASSERT_EQ(FormatVersion(version), "1.0.0.2");

  test::UpdateTestServer server;
  server.Put("/builds/qm-standin", newBuild);
  server.SetList(
      "[updatelist]\r\n<qm-standin>qm-standin</qm-standin>\r\n[/updatelist]\r\n"
      "[qm-standin/qm-standin]\r\n<ver>1.0.0.2</ver>\r\n<date>2026-12-01</date>\r\n"
      "<url>" +
      server.Url("/builds/qm-standin") +
      "</url>\r\n"
      "<description>new build</description>\r\n[/qm-standin/qm-standin]\r\n");
  TIniFile((dir.Path() / "qm-standin.ini").string())
      .WriteString(kUpdateSettingsSection, kUpdateServerKey, server.Base());

  const test::ProgramResult run = test::RunProgram(program.string(), {"update"});
  ASSERT_EQ(run.ExitCode, 0) << run.Out << run.Err;
  EXPECT_EQ(run.Out, "replacing\n");

  // The interpreter works after the stand-in has ended; the new build then reports itself.
  const fs::path ran = dir.Path() / "standin-ran.txt";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(ran) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(ran)) << ReadFileBytes(dir.Path() / "selfupdate.log");
  // The file may be seen before it is written; wait for its text.
  std::string reported;
  while ((reported = ReadFileBytes(ran)).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(reported, "1.0.0.2");
  EXPECT_EQ(ReadFileBytes(program), newBuild);
  EXPECT_FALSE(fs::exists(dir.Path() / "qm-standi_"));
  EXPECT_FALSE(fs::exists(dir.Path() / "Self_del.bat"));
  EXPECT_EQ(ReadFileBytes(dir.Path() / "selfupdate.log"), "");
  EXPECT_EQ(server.Requests("HEAD", "/builds/qm-standin"), 1);
}

}  // namespace
}  // namespace qm
