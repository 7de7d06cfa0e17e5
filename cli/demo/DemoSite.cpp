#include "cli/demo/DemoSite.h"

#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qm::demo {
namespace {

// Every demo resource carries one fixed date, so an update run finds everything up to date.
constexpr const char* kLastModified = "Tue, 01 Dec 2026 08:00:00 GMT";
constexpr std::size_t kLargeFileSize = 300000;
// More than the ten workers a copy may have, and the connections of the window's title fetch.
constexpr std::size_t kServerThreads = 16;

std::string MimeOf(const std::string& path) {
  auto ends = [&](const char* ext) {
    const std::string e(ext);
    return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
  };
  if (ends(".html") || ends(".htm") || ends(".asp")) return "text/html";
  if (ends(".css")) return "text/css";
  if (ends(".js")) return "application/javascript";
  if (ends(".gif")) return "image/gif";
  if (ends(".png")) return "image/png";
  if (ends(".pdf")) return "application/pdf";
  return "application/octet-stream";
}

bool ReadWhole(const std::filesystem::path& p, std::string& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

}  // namespace

std::string DemoLargeFile(std::size_t size) {
  std::string s = "%PDF-1.4\n% Quillmoss demo document\n";
  std::uint32_t x = 2463534242u;
  while (s.size() < size) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s.push_back(static_cast<char>('a' + x % 26));
    if (s.size() % 64 == 0) s.back() = '\n';
  }
  s.resize(size);
  return s;
}

struct DemoSite::Impl {
  httplib::Server server;
  std::thread thread;
  int port = 0;
};

DemoSite::DemoSite(const std::string& siteDir) : impl_(std::make_unique<Impl>()) {
  namespace fs = std::filesystem;
  auto& srv = impl_->server;
  const fs::path root = fs::weakly_canonical(siteDir);

  srv.Get("/old-visit.html", [](const httplib::Request&, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", "/visit.html");
  });
  srv.Get("/view.asp", [](const httplib::Request& req, httplib::Response& res) {
    const std::string id = req.get_param_value("id");
    std::string page = "<html><head><title>Plant card " + id +
                       "</title></head><body><h1>Plant card " + id +
                       "</h1><p>A moss of the demo garden.</p><p><a href=\"index.html\">Home</a>"
                       "</p></body></html>\n";
    res.set_header("Last-Modified", kLastModified);
    res.set_content(page, "text/html");
  });
  srv.Get("/docs/manual.pdf", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Last-Modified", kLastModified);
    res.set_content(DemoLargeFile(kLargeFileSize), "application/pdf");
  });
  srv.Get(R"(/.*)", [root](const httplib::Request& req, httplib::Response& res) {
    std::string rel = req.path;
    if (rel.empty() || rel.back() == '/') rel += "index.html";
    const fs::path p = fs::weakly_canonical(root / rel.substr(1));
    // Only files below the site folder are served.
    const std::string ps = p.string(), rs = root.string() + "/";
    std::string body;
    if (ps.compare(0, rs.size(), rs) != 0 || !fs::is_regular_file(p) || !ReadWhole(p, body)) {
      res.status = 404;
      res.set_content("<html><body>Not found</body></html>", "text/html");
      return;
    }
    res.set_header("Last-Modified", kLastModified);
    res.set_content(body, MimeOf(ps));
  });

  // Every worker of the copy keeps its connection open between requests, and a thread of the
  // server stays with a connection until it closes: with fewer threads than workers, a new
  // connection would wait for a kept one to time out (5 s).
  srv.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  impl_->port = srv.bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) throw std::runtime_error("the demo server cannot listen on 127.0.0.1");
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  while (!srv.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

DemoSite::~DemoSite() {
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int DemoSite::Port() const {
  return impl_->port;
}
std::string DemoSite::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/";
}

}  // namespace qm::demo
