#pragma once
// Certificates made at test time for TLS test servers on 127.0.0.1: a CA of its own and server
// certificates it signs (valid, expired, or signed by nobody the client knows), as PEM files.
#include <filesystem>
#include <string>

namespace qm::test {

struct TlsServerFiles {
  std::string CertFile;  // the server's certificate (PEM)
  std::string KeyFile;   // its private key (PEM)
};

class TestCertificates {
 public:
  // Makes the CA below `folder` (written as ca.pem).
  explicit TestCertificates(const std::filesystem::path& folder);
  ~TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  const std::string& CaFile() const { return caFile_; }
  // A certificate for 127.0.0.1 and localhost signed by the CA; `expired` makes one whose
  // validity ended an hour ago.
  TlsServerFiles ServerCertificate(const std::string& name, bool expired = false) const;
  // A certificate for 127.0.0.1 and localhost that signs itself.
  TlsServerFiles SelfSignedCertificate(const std::string& name) const;

 private:
  std::filesystem::path folder_;
  std::string caFile_;
  void* caKey_ = nullptr;   // EVP_PKEY*
  void* caCert_ = nullptr;  // X509*
};

}  // namespace qm::test
