#pragma once
// The bundled demo site served on 127.0.0.1: the files under demo/site plus a few dynamic
// resources (a redirect, pages built per query, a large document that answers ranged requests).
#include <memory>
#include <string>

namespace qm::cli {

class DemoServer {
 public:
  // Serves `siteDir` on 127.0.0.1 at a free port; throws when it cannot listen.
  explicit DemoServer(const std::string& siteDir);
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  int Port() const;
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT/"

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Bytes of the large demo document: deterministic, `size` bytes.
std::string DemoLargeFile(std::size_t size);
// Where the demo site lies: QUILLMOSS_DEMO_DIR, the source tree, or beside the program.
std::string FindDemoSite();

}  // namespace qm::cli
