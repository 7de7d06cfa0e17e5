#pragma once
// The bundled demo site served on 127.0.0.1: the files under demo/site plus a few dynamic
// resources (a redirect, pages built per query, a large document that answers ranged requests).
#include <cstddef>
#include <memory>
#include <string>

namespace qm::demo {

class DemoSite {
 public:
  // Serves `siteDir` on 127.0.0.1 at a free port; throws when it cannot listen.
  explicit DemoSite(const std::string& siteDir);
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  int Port() const;
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT/"

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Bytes of the large demo document: deterministic, `size` bytes.
std::string DemoLargeFile(std::size_t size);

}  // namespace qm::demo
