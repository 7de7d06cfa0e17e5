// The client against TLS servers started here with certificates made at test time: what is
// trusted, how refusals read, and that one connection serves many requests.
#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "support/TempDir.h"
#include "support/TestSite.h"
#include "support/TlsCertificates.h"

namespace qm {
namespace {

using namespace test;

class HttpsClientTest : public ::testing::Test {
 protected:
  // The message of the failure a GET of `url` raises; "" when it succeeds.
  std::string GetFailure(THttpClient& client, const std::string& url) {
    std::string body;
    try {
      client.Get(url, body);
    } catch (const EHttpTlsError& e) {
      return e.what();
    } catch (const std::exception& e) {
      return std::string("not a TLS error: ") + e.what();
    }
    EXPECT_EQ(body, "secret page");
    return "";
  }
  TestSite& Serve(TestSite& site) {
    site.Put("/p.html", PageOf("secret page"));
    return site;
  }

  TempDir dir_;
  TestCertificates certs_{dir_.Path()};
};

TEST_F(HttpsClientTest, AServerOfTheExtraCaIsTrustedAndOthersAreRefusedByName) {
  TestSite good(certs_.ServerCertificate("good"));
  TestSite expired(certs_.ServerCertificate("expired", true));
  TestSite self(certs_.SelfSignedCertificate("self"));
  for (TestSite* site : {&good, &expired, &self}) Serve(*site);

  THttpClient client;
  client.Limits.ConnectTimeoutMs = 5000;
  // The system's store knows nothing of the test CA.
  EXPECT_EQ(GetFailure(client, good.Url("/p.html")),
            "Server certificate rejected: unable to get local issuer certificate");

  client.Tls.ExtraCaFile = certs_.CaFile();
  EXPECT_EQ(GetFailure(client, good.Url("/p.html")), "");
  EXPECT_EQ(client.Response().Code, 200);
  EXPECT_EQ(GetFailure(client, expired.Url("/p.html")),
            "Server certificate rejected: certificate has expired");
  EXPECT_EQ(GetFailure(client, self.Url("/p.html")),
            "Server certificate rejected: self-signed certificate");
  EXPECT_EQ(good.Count("GET", "/p.html"), 1);  // refused servers never saw a request
  EXPECT_EQ(expired.Count("GET", "/p.html"), 0);
  EXPECT_EQ(self.Count("GET", "/p.html"), 0);
}

TEST_F(HttpsClientTest, VerificationOffAcceptsAnyCertificate) {
  TestSite expired(certs_.ServerCertificate("expired", true));
  TestSite self(certs_.SelfSignedCertificate("self"));
  THttpClient client;
  client.Tls.VerifyPeer = false;
  EXPECT_EQ(GetFailure(client, Serve(expired).Url("/p.html")), "");
  EXPECT_EQ(GetFailure(client, Serve(self).Url("/p.html")), "");
  // The client copied from a template takes its TLS options along.
  THttpClient copy;
  copy.CopySettingsFrom(client);
  EXPECT_EQ(GetFailure(copy, self.Url("/p.html")), "");
}

TEST_F(HttpsClientTest, AnUnreadableExtraCaFileFailsTheRequestWithItsName) {
  TestSite good(certs_.ServerCertificate("good"));
  THttpClient client;
  client.Tls.ExtraCaFile = (dir_.Path() / "missing.pem").string();
  EXPECT_EQ(GetFailure(client, Serve(good).Url("/p.html")),
            "Cannot read the extra CA file " + client.Tls.ExtraCaFile);
  EXPECT_EQ(good.Count("GET", "/p.html"), 0);
}

TEST_F(HttpsClientTest, OneConnectionServesManyRequests) {
  TestSite good(certs_.ServerCertificate("good"));
  Serve(good);
  THttpClient client;
  client.Tls.ExtraCaFile = certs_.CaFile();
  for (int i = 0; i < 20; ++i) {
    client.Head(good.Url("/p.html"));
    EXPECT_EQ(GetFailure(client, good.Url("/p.html")), "");
  }
  EXPECT_EQ(good.Count("GET", "/p.html"), 20);
  EXPECT_EQ(good.TlsHandshakes(), 1);
  EXPECT_EQ(client.ConnectionsOpened(), 1);
}

}  // namespace
}  // namespace qm
