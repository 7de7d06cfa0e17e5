#include "cli/DemoServer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace qm::cli {
namespace {

std::filesystem::path ProgramDir() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

// Reads up to the first line end (or the end of the pipe).
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') return line;
    line.push_back(c);
  }
}

}  // namespace

std::string FindDemoSite() {
  namespace fs = std::filesystem;
  if (const char* env = std::getenv("QUILLMOSS_DEMO_DIR")) return env;
#ifdef QM_DEMO_SOURCE_DIR
  if (fs::is_directory(QM_DEMO_SOURCE_DIR)) return QM_DEMO_SOURCE_DIR;
#endif
  const fs::path dir = ProgramDir();
  for (const char* rel : {"demo/site", "../demo/site", "../share/quillmoss/demo/site"}) {
    fs::path p = dir / rel;
    if (fs::is_directory(p)) return p.string();
  }
  throw std::runtime_error("the demo site was not found (set QUILLMOSS_DEMO_DIR)");
}

std::string FindDemoServerProgram() {
  if (const char* env = std::getenv("QUILLMOSS_DEMO_SERVER")) return env;
  return (ProgramDir() / "quillmoss-demo-server").string();
}

DemoServer::DemoServer(const std::string& siteDir) {
  const std::string program = FindDemoServerProgram();
  int toServer[2], fromServer[2];
  if (pipe2(toServer, O_CLOEXEC) != 0) throw std::runtime_error("cannot start the demo server");
  if (pipe2(fromServer, O_CLOEXEC) != 0) {
    close(toServer[0]);
    close(toServer[1]);
    throw std::runtime_error("cannot start the demo server");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
  std::string arg0 = program, arg1 = siteDir;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toServer[0]);
  close(fromServer[1]);
  keepAlive_ = toServer[1];
  if (spawned != 0) {
    pid_ = -1;
    close(fromServer[0]);
    Stop();
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
  }
  baseUrl_ = ReadLine(fromServer[0]);
  close(fromServer[0]);
  if (baseUrl_.rfind("http://127.0.0.1:", 0) != 0) {
    Stop();
    throw std::runtime_error("the demo server cannot listen on 127.0.0.1");
  }
}

DemoServer::~DemoServer() {
  Stop();
}

void DemoServer::Stop() {
  if (keepAlive_ >= 0) close(keepAlive_);
  keepAlive_ = -1;
  if (pid_ > 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
}

}  // namespace qm::cli
