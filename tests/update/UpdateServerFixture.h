#pragma once
// An update server on 127.0.0.1 for the tests: the list at /update/xupdate.txt and files by
// path, each answered to GET and HEAD; a path can be made to fail.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace qm::test {

class UpdateTestServer {
 public:
  UpdateTestServer() {
    server_.Get(".*",
                [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); });
    server_.set_keep_alive_max_count(1);  // one request per connection: stops at once
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~UpdateTestServer() {
    server_.stop();
    thread_.join();
  }
  UpdateTestServer(const UpdateTestServer&) = delete;
  UpdateTestServer& operator=(const UpdateTestServer&) = delete;

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path) const { return Base() + path; }

  void SetList(const std::string& text) { Put("/update/xupdate.txt", text); }
  void Put(const std::string& path, const std::string& body) {
    std::lock_guard lock(mutex_);
    files_[path] = body;
  }
  // HEAD requests of this path fail with 404 while GET still works (or both when headToo).
  void FailHead(const std::string& path) {
    std::lock_guard lock(mutex_);
    failHead_.insert(path);
  }
  int Requests(const std::string& method, const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = counts_.find(method + " " + path);
    return it == counts_.end() ? 0 : it->second;
  }

 private:
  void Answer(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex_);
    ++counts_[req.method + " " + req.path];
    auto it = files_.find(req.path);
    if (it == files_.end() || (req.method == "HEAD" && failHead_.count(req.path))) {
      res.status = 404;
      return;
    }
    res.set_content(it->second, "application/octet-stream");
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::set<std::string> failHead_;
  std::map<std::string, int> counts_;
};

// A port on 127.0.0.1 where nothing listens (taken from the system, then given back), so that
// connecting is refused at once.
inline std::string DeadServer() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
}

// A file carrying a version record, as our executables do.
inline std::string WithVersionRecord(const std::string& version, const std::string& filler = "x") {
  return filler + std::string("\0@(#)quillmoss file version ", 28) + version +
         std::string(1, '\0') + filler;
}

}  // namespace qm::test
