#include "support/NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace qm::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// nginx workers may run as an unprivileged user: let them read the site and the prefix.
void OpenForReading(const std::filesystem::path& root) {
  ::chmod(root.c_str(), 0755);
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    ::chmod(it->path().c_str(), it->is_directory() ? 0755 : 0644);
  }
}

}  // namespace

bool NginxServer::Available() {
  return ::access(kNginx, X_OK) == 0;
}

NginxServer::NginxServer(const std::filesystem::path& siteRoot, const std::string& serverExtra) {
  if (!Available()) throw std::runtime_error("nginx is not installed");
  for (int attempt = 0; attempt < 5; ++attempt)
    if (TryStart(siteRoot, serverExtra)) return;
  throw std::runtime_error("nginx did not start; log: " + ErrorLog());
}

NginxServer::~NginxServer() {
  Stop();
}

std::string NginxServer::ErrorLog() const {
  std::error_code ec;
  const auto p = prefix_.Path() / "error.log";
  return std::filesystem::exists(p, ec) ? ReadFileBytes(p) : std::string();
}

bool NginxServer::TryStart(const std::filesystem::path& siteRoot, const std::string& serverExtra) {
  const std::string prefix = prefix_.Path().string();
  port_ = FreePort();
  std::filesystem::create_directories(prefix_.Path() / "tmp");
  const std::string conf =
      "worker_processes 1;\n"
      "pid " +
      prefix +
      "/nginx.pid;\n"
      "error_log " +
      prefix +
      "/error.log warn;\n"
      "events { worker_connections 64; }\n"
      "http {\n"
      "  access_log " +
      prefix +
      "/access.log;\n"
      "  client_body_temp_path " +
      prefix +
      "/tmp/body;\n"
      "  proxy_temp_path " +
      prefix +
      "/tmp/proxy;\n"
      "  fastcgi_temp_path " +
      prefix +
      "/tmp/fastcgi;\n"
      "  uwsgi_temp_path " +
      prefix +
      "/tmp/uwsgi;\n"
      "  scgi_temp_path " +
      prefix +
      "/tmp/scgi;\n"
      "  types { text/html html htm; image/gif gif; application/zip zip; }\n"
      "  default_type application/octet-stream;\n"
      "  server {\n"
      "    listen 127.0.0.1:" +
      std::to_string(port_) +
      ";\n"
      "    server_name localhost;\n"
      "    root " +
      siteRoot.string() + ";\n" + serverExtra +
      "  }\n"
      "}\n";
  WriteFileBytes(prefix_.Path() / "nginx.conf", conf);
  OpenForReading(prefix_.Path());
  OpenForReading(siteRoot);

  pid_ = ::fork();
  if (pid_ == 0) {
    ::execl(kNginx, kNginx, "-p", prefix.c_str(), "-e", (prefix + "/error.log").c_str(), "-c",
            (prefix + "/nginx.conf").c_str(), "-g", "daemon off;", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) throw std::runtime_error("fork failed");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {  // it ended: port taken or bad config
      pid_ = -1;
      return false;
    }
    if (Accepts(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop();
  return false;
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);  // fast shutdown of the master and its worker
  int status = 0;
  for (int i = 0; i < 250; ++i) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace qm::test
