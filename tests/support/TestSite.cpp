#include "support/TestSite.h"

#include <stdexcept>

namespace qm::test {

std::string HttpDate(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

SiteResource FileOf(std::string body) {
  SiteResource r;
  r.Body = std::move(body);
  return r;
}

SiteResource PageOf(std::string body) {
  return FileOf(std::move(body)).Type("text/html");
}

SiteResource RedirectOf(std::string target) {
  SiteResource r;
  r.RedirectTo = std::move(target);
  return r;
}

TestSite::TestSite() : server_(std::make_unique<httplib::Server>()) {
  Start();
}

TestSite::TestSite(const TlsServerFiles& tls)
    : server_(std::make_unique<httplib::SSLServer>(tls.CertFile.c_str(), tls.KeyFile.c_str())),
      tls_(true) {
  if (!server_->is_valid()) throw std::runtime_error("the TLS test server cannot load its key");
  server_->set_keep_alive_max_count(1000000);
  Start();
}

void TestSite::Start() {
  server_->Get(".*",
               [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestSite::~TestSite() {
  server_->stop();
  thread_.join();
}

std::string TestSite::Url(const std::string& path) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

long TestSite::TlsHandshakes() const {
  if (!tls_) return 0;
  return SSL_CTX_sess_accept(static_cast<httplib::SSLServer&>(*server_).ssl_context());
}

void TestSite::Put(const std::string& path, SiteResource resource) {
  std::lock_guard<std::mutex> lock(mutex_);
  resources_[path] = std::move(resource);
}

void TestSite::OnGet(const std::string& path, std::function<void(int)> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hooks_[path] = std::move(hook);
}

std::vector<SiteRequest> TestSite::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<SiteRequest> TestSite::Requests(const std::string& method,
                                            const std::string& path) const {
  std::vector<SiteRequest> out;
  for (const SiteRequest& r : Requests())
    if (r.Method == method && r.Path == path) out.push_back(r);
  return out;
}

int TestSite::Count(const std::string& method, const std::string& path) const {
  return static_cast<int>(Requests(method, path).size());
}

void TestSite::Handle(const httplib::Request& req, httplib::Response& res) {
  SiteResource resource;
  std::function<void(int)> hook;
  int getCount = 0;
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back({req.method, req.path, req.get_header_value("Range"),
                         req.get_header_value("Cookie"), req.get_header_value("Referer"),
                         std::chrono::steady_clock::now()});
    auto it = resources_.find(req.path);
    if (it != resources_.end()) {
      found = true;
      resource = it->second;
    }
    if (req.method == "GET") {
      for (const SiteRequest& r : requests_)
        if (r.Method == "GET" && r.Path == req.path) ++getCount;
      auto h = hooks_.find(req.path);
      if (h != hooks_.end()) hook = h->second;
    }
  }
  if (!found) {
    res.status = 404;
    res.set_content("not here", "text/plain");
    return;
  }
  for (const std::string& cookie : resource.SetCookies) res.set_header("Set-Cookie", cookie);
  if (resource.LastModified) res.set_header("Last-Modified", HttpDate(*resource.LastModified));
  if (!resource.ContentLocation.empty())
    res.set_header("Content-Location", resource.ContentLocation);
  if (!resource.RedirectTo.empty()) {
    res.set_redirect(resource.RedirectTo);
    return;
  }
  if (!resource.GetRedirectTo.empty() && req.method == "GET") {
    res.set_redirect(resource.GetRedirectTo);
    return;
  }
  res.status =
      req.method == "GET" && resource.GetStatus != 0 ? resource.GetStatus : resource.Status;
  // The server library slices every answer to a ranged request; a server that ignores Range is
  // made by letting it see none.
  if (resource.IgnoreRange) const_cast<httplib::Request&>(req).ranges.clear();
  if (hook) hook(getCount);
  if (resource.ChunkDelayMs > 0 && req.method == "GET") {
    auto body = std::make_shared<std::string>(resource.Body);
    const int delay = resource.ChunkDelayMs;
    res.set_content_provider(
        body->size(), resource.ContentType.c_str(),
        [body, delay](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          std::this_thread::sleep_for(std::chrono::milliseconds(delay));
          sink.write(body->data() + offset, std::min<std::size_t>(length, 1000));
          return true;
        });
    return;
  }
  res.set_content(resource.Body, resource.ContentType.c_str());
}

std::string PatternBody(std::size_t size) {
  std::string body(size, '\0');
  std::uint32_t x = 2463534242u;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    body[i] = static_cast<char>(x & 0xFF);
  }
  return body;
}

}  // namespace qm::test
