#include "support/TlsCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace qm::test {
namespace {

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");  // fast to make, unlike RSA
  if (!key) throw std::runtime_error("cannot make a key");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) throw std::runtime_error("cannot make a certificate extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for `key` named `commonName`, signed by issuerKey (issuerCert null: by itself).
X509* NewCertificate(EVP_PKEY* key, const char* commonName, bool ca, long notBefore, long notAfter,
                     X509* issuerCert, EVP_PKEY* issuerKey) {
  static long serial = 1;
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), ++serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(cert), notAfter);
  X509_set_pubkey(cert, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* issuer = issuerCert ? issuerCert : cert;
  X509_set_issuer_name(cert, X509_get_subject_name(issuer));
  AddExtension(cert, issuer, NID_subject_key_identifier, "hash");
  if (ca) {
    AddExtension(cert, issuer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert, issuer, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert, issuer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    AddExtension(cert, issuer, NID_ext_key_usage, "serverAuth");
  }
  if (!X509_sign(cert, issuerKey ? issuerKey : key, EVP_sha256()))
    throw std::runtime_error("cannot sign a certificate");
  return cert;
}

void WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  const bool ok = cert ? PEM_write_X509(f, cert) == 1
                       : PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(f);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

constexpr long kDay = 24 * 3600;

}  // namespace

TestCertificates::TestCertificates(const std::filesystem::path& folder) : folder_(folder) {
  EVP_PKEY* key = NewKey();
  caKey_ = key;
  caCert_ = NewCertificate(key, "Quillmoss Test CA", true, -kDay, kDay, nullptr, nullptr);
  caFile_ = (folder_ / "ca.pem").string();
  WritePem(caFile_, static_cast<X509*>(caCert_), nullptr);
}

TestCertificates::~TestCertificates() {
  X509_free(static_cast<X509*>(caCert_));
  EVP_PKEY_free(static_cast<EVP_PKEY*>(caKey_));
}

TlsServerFiles TestCertificates::ServerCertificate(const std::string& name, bool expired) const {
  EVP_PKEY* key = NewKey();
  X509* cert =
      NewCertificate(key, "127.0.0.1", false, expired ? -2 * kDay : -kDay, expired ? -3600 : kDay,
                     static_cast<X509*>(caCert_), static_cast<EVP_PKEY*>(caKey_));
  TlsServerFiles files{(folder_ / (name + ".pem")).string(), (folder_ / (name + ".key")).string()};
  WritePem(files.CertFile, cert, nullptr);
  WritePem(files.KeyFile, nullptr, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

TlsServerFiles TestCertificates::SelfSignedCertificate(const std::string& name) const {
  EVP_PKEY* key = NewKey();
  X509* cert = NewCertificate(key, "127.0.0.1", false, -kDay, kDay, nullptr, nullptr);
  TlsServerFiles files{(folder_ / (name + ".pem")).string(), (folder_ / (name + ".key")).string()};
  WritePem(files.CertFile, cert, nullptr);
  WritePem(files.KeyFile, nullptr, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

}  // namespace qm::test
