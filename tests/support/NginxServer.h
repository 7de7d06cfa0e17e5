#pragma once
// A private nginx instance for tests: its own prefix folder, configuration, pid file and logs,
// listening on a free port of 127.0.0.1 and serving a given site folder. Started by the
// constructor, stopped (by the process id it started) by the destructor.
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace qm::test {

class NginxServer {
 public:
  // `serverExtra` is added inside the server block (locations of scripted answers).
  explicit NginxServer(const std::filesystem::path& siteRoot, const std::string& serverExtra = "");
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  static bool Available();  // the nginx program is installed
  int Port() const { return port_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string ErrorLog() const;

 private:
  bool TryStart(const std::filesystem::path& siteRoot, const std::string& serverExtra);
  void Stop();

  TempDir prefix_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace qm::test
