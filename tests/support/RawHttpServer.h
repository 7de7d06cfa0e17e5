#pragma once
// A tiny HTTP server on 127.0.0.1 that records every request head byte for byte and answers with
// scripted raw bytes: for tests that must see exactly what a client writes, or that need a server
// misbehaving on purpose (silent, stalling, lying about lengths). Connections are kept open
// between requests unless the answer says otherwise.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm::test {

struct RawAnswer {
  std::string Bytes;        // sent as they are
  bool StallAfter = false;  // then send nothing more until the server stops
  bool CloseAfter = false;  // then close the connection
};

class RawHttpServer {
 public:
  // Called on a connection thread with the request head (up to and including the empty line).
  using Handler = std::function<RawAnswer(const std::string& request)>;

  explicit RawHttpServer(Handler handler);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return port_; }
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT"
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_.load(); }

  // A complete answer with a body and its Content-Length.
  static RawAnswer Answer(const std::string& statusLine, const std::vector<std::string>& headers,
                          const std::string& body);

 private:
  void AcceptLoop();
  void Serve(int fd);

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
};

}  // namespace qm::test
