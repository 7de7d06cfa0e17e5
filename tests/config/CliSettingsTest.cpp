#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/Gbk.h"
#include "support/TempDir.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

struct CliResult {
  int Exit = -1;
  std::string Out;  // standard output and error together
};

CliResult RunCli(const std::string& args) {
  CliResult r;
  FILE* p = ::popen((std::string("'") + QM_CLI_PATH + "' " + args + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int status = ::pclose(p);
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quoted(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

TEST(CliSettings, EveryCommandReadsTheFileGivenWhereverTheOptionStands) {
  TempDir dir;
  const auto file = dir.Path() / "my.ini";
  const std::string original =
      Utf8ToGbk("[主要设置]\r\n下载线程=3\r\n[Cookies设置]\r\n特殊字符串=ad.;x\r\n");
  WriteFileBytes(file, original);

  for (const std::string& args :
       {"--settings " + Quoted(file) + " settings show", "settings show --settings " + Quoted(file),
        "settings --settings=" + Quoted(file) + " show"}) {
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.Exit, 0) << args << "\n" << r.Out;
    EXPECT_NE(r.Out.find("下载线程=3\n"), std::string::npos) << args << "\n" << r.Out;
    EXPECT_NE(r.Out.find("特殊字符串=ad.;x\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("下载层数=-1\n"), std::string::npos) << r.Out;  // not in the file
  }
  const CliResult path = RunCli("settings file --settings " + Quoted(file));
  EXPECT_EQ(path.Out, file.string() + "\n");
  EXPECT_EQ(ReadFileBytes(file), original);  // the program only reads it
}

TEST(CliSettings, AMissingFileGivesTheStartValuesAndAnUnreadableOneIsAnError) {
  TempDir dir;
  const CliResult missing =
      RunCli("--settings " + Quoted(dir.Path() / "none.ini") + " settings show");
  EXPECT_EQ(missing.Exit, 0) << missing.Out;
  EXPECT_NE(missing.Out.find("下载线程=10\n"), std::string::npos) << missing.Out;
  EXPECT_NE(missing.Out.find("特殊字符串=cookies.asp?;&action=\n"), std::string::npos);

  const CliResult unreadable = RunCli("settings show --settings " + Quoted(dir.Path()));
  EXPECT_EQ(unreadable.Exit, 1);
  EXPECT_NE(unreadable.Out.find("Unable to read " + dir.Path().string()), std::string::npos)
      << unreadable.Out;

  const CliResult noValue = RunCli("settings show --settings");
  EXPECT_EQ(noValue.Exit, 2);
  EXPECT_NE(noValue.Out.find("--settings needs a file name"), std::string::npos) << noValue.Out;
}

}  // namespace
}  // namespace qm
