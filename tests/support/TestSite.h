#pragma once
// A scripted web site on 127.0.0.1 for tests: resources set per path (pages, files, redirects,
// cookies, dates, slow or range-ignoring answers) and a record of every request it received.
#include <httplib.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/TlsCertificates.h"

namespace qm::test {

// One resource of the scripted site.
struct SiteResource {
  std::string Body;
  std::string ContentType = "application/octet-stream";
  std::optional<std::time_t> LastModified;  // sent as Last-Modified when set
  std::vector<std::string> SetCookies;      // one Set-Cookie line each
  std::string ContentLocation;
  std::string RedirectTo;     // a 302 with this Location
  int Status = 200;           // answers other than 2xx carry Body as text
  int GetStatus = 0;          // when set, the status of GETs only (HEAD stays)
  bool IgnoreRange = false;   // answer a ranged GET with the whole body
  std::string GetRedirectTo;  // a 302 with this Location for GETs only (HEAD answers 200)
  int ChunkDelayMs = 0;       // send the body in 1000-byte chunks, pausing this long before each

  SiteResource& Type(std::string type) {
    ContentType = std::move(type);
    return *this;
  }
  SiteResource& Modified(std::time_t t) {
    LastModified = t;
    return *this;
  }
  SiteResource& Cookie(std::string line) {
    SetCookies.push_back(std::move(line));
    return *this;
  }
  SiteResource& Location(std::string url) {
    ContentLocation = std::move(url);
    return *this;
  }
  SiteResource& Answer(int status) {
    Status = status;
    return *this;
  }
  SiteResource& AnswerGet(int status) {
    GetStatus = status;
    return *this;
  }
  SiteResource& RedirectGets(std::string target) {
    GetRedirectTo = std::move(target);
    return *this;
  }
  SiteResource& Slowly(int chunkDelayMs) {
    ChunkDelayMs = chunkDelayMs;
    return *this;
  }
  SiteResource& NoRanges() {
    IgnoreRange = true;
    return *this;
  }
};

// A file with that body, a page (text/html) with that body, a 302 to `target`.
SiteResource FileOf(std::string body);
SiteResource PageOf(std::string body);
SiteResource RedirectOf(std::string target);

struct SiteRequest {
  std::string Method;
  std::string Path;
  std::string Range;   // the Range header, empty when none
  std::string Cookie;  // the Cookie header, empty when none
  std::string Referer;
  std::chrono::steady_clock::time_point At;
};

class TestSite {
 public:
  // A plain HTTP site.
  TestSite();
  // The same site over HTTPS with the given certificate; connections are kept open as long as
  // the client wants (no cap on requests per connection).
  explicit TestSite(const TlsServerFiles& tls);
  ~TestSite();

  // "http://127.0.0.1:PORT" + path, or "https://..." for a TLS site.
  std::string Url(const std::string& path) const;
  int Port() const { return port_; }
  // TLS handshakes the server has accepted so far (0 for a plain site).
  long TlsHandshakes() const;
  void Put(const std::string& path, SiteResource resource);
  // Called on the server thread after a GET of `path` was answered (to stop a task halfway).
  void OnGet(const std::string& path, std::function<void(int getCount)> hook);

  std::vector<SiteRequest> Requests() const;
  std::vector<SiteRequest> Requests(const std::string& method, const std::string& path) const;
  int Count(const std::string& method, const std::string& path) const;

 private:
  void Start();
  void Handle(const httplib::Request& req, httplib::Response& res);

  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, SiteResource> resources_;
  std::map<std::string, std::function<void(int)>> hooks_;
  std::vector<SiteRequest> requests_;
};

// `size` bytes of a fixed pseudo-random pattern (every byte value occurs).
std::string PatternBody(std::size_t size);

// "Tue, 14 Nov 2023 22:13:20 GMT"
std::string HttpDate(std::time_t t);

}  // namespace qm::test
