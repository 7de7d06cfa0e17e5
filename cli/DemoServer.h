#pragma once
// The bundled demo site served on 127.0.0.1 by the small program quillmoss-demo-server beside this
// one (the files under demo/site plus a few dynamic resources), for as long as this object lives.
#include <sys/types.h>
#include <string>

namespace qm::cli {

class DemoServer {
 public:
  // Starts the server program on `siteDir` and waits for its address; throws when it cannot be
  // started or cannot listen.
  explicit DemoServer(const std::string& siteDir);
  // Ends the server and waits for it.
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  std::string BaseUrl() const { return baseUrl_; }  // "http://127.0.0.1:PORT/"

 private:
  void Stop();

  pid_t pid_ = -1;
  int keepAlive_ = -1;  // the server's standard input: it ends when this is closed
  std::string baseUrl_;
};

// Where the demo site lies: QUILLMOSS_DEMO_DIR, the source tree, or beside the program.
std::string FindDemoSite();
// The server program: QUILLMOSS_DEMO_SERVER, or quillmoss-demo-server beside this program.
std::string FindDemoServerProgram();

}  // namespace qm::cli
