#include "support/RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qm::test {

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("bind/listen failed");
  }
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  stop_.store(true);
  acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
  ::close(listenFd_);
}

std::string RawHttpServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> RawHttpServer::Requests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

RawAnswer RawHttpServer::Answer(const std::string& statusLine,
                                const std::vector<std::string>& headers, const std::string& body) {
  RawAnswer a;
  a.Bytes = statusLine + "\r\n";
  for (const auto& h : headers) a.Bytes += h + "\r\n";
  a.Bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return a;
}

void RawHttpServer::AcceptLoop() {
  while (!stop_.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    connections_.fetch_add(1);
    std::lock_guard<std::mutex> guard(mutex_);
    workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawHttpServer::Serve(int fd) {
  std::string pending;
  char buf[4096];
  bool open = true;
  while (open && !stop_.load()) {
    const std::size_t end = pending.find("\r\n\r\n");
    if (end == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    const std::string request = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    {
      std::lock_guard<std::mutex> guard(mutex_);
      requests_.push_back(request);
    }
    const RawAnswer answer = handler_(request);
    std::size_t sent = 0;
    while (sent < answer.Bytes.size()) {
      const ssize_t n =
          ::send(fd, answer.Bytes.data() + sent, answer.Bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    if (answer.StallAfter) {
      while (!stop_.load()) ::usleep(20000);
      break;
    }
    if (answer.CloseAfter) open = false;
  }
  ::close(fd);
}

}  // namespace qm::test
