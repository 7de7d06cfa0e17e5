// Runs the built quillmoss-cli on the url command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct CliResult {
  int exitCode = -1;
  std::string out;
};

CliResult RunCli(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QM_CLI_PATH));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QM_CLI_PATH, argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  CliResult r;
  char buf[4096];
  for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) r.out.append(buf, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(UrlCommand, Resolve) {
  CliResult r = RunCli({"url", "resolve", "../../x.html", "http://h/a/b/c.html"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "http://h/x.html\n");
  r = RunCli({"url", "resolve", "my page.html", "http://h/"});
  EXPECT_EQ(r.out, "http://h/my%20page.html\n");
  r = RunCli({"url", "resolve", "javascript:go()", "http://h/"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
}

TEST(UrlCommand, SplitPrintsFourLinesAsBytes) {
  CliResult r = RunCli({"url", "split", "http://h:8080/a.asp?x=1&y=2"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "h\n8080\na.asp\\x=1\\\ny=2.html\n");
  r = RunCli({"url", "split", "http://h/%D6%D0.htm"});
  EXPECT_EQ(r.out, "h\n80\n\n\xD6\xD0.htm\n");
  r = RunCli({"url", "split", "https://example.com/a/b.html"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "example.com\n443\na\\\nb.html\n");
}

TEST(UrlCommand, Relative) {
  CliResult r = RunCli({"url", "relative", "http://other/y/z.css", "http://h/a/b/p.html"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "../../../other/y/z.css\n");
}

TEST(UrlCommand, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunCli({"url"}).exitCode, 2);
  EXPECT_EQ(RunCli({"url", "split"}).exitCode, 2);
  EXPECT_EQ(RunCli({"url", "resolve", "x"}).exitCode, 2);
  EXPECT_EQ(RunCli({"url", "frobnicate", "x"}).exitCode, 2);
  EXPECT_EQ(RunCli({"url", "split", "a", "b"}).out, "");
}

}  // namespace
