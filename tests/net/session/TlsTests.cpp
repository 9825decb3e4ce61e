#include "TestServer.h"

#include "foundation/dispatch/RunLoop.h"
#include "net/AFHTTPSessionManager.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace cw::nettest {
namespace {

// A TLS server on loopback whose certificate nobody vouches for (self-signed for 127.0.0.1).
class SelfSignedServer {
public:
    SelfSignedServer() {
        key_ = EVP_EC_gen("P-256");
        cert_ = X509_new();
        X509_set_version(cert_, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert_), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert_), 0);
        X509_gmtime_adj(X509_getm_notAfter(cert_), 3600);
        X509_set_pubkey(cert_, key_);
        X509_NAME* name = X509_get_subject_name(cert_);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert_, name);
        X509_sign(cert_, key_, EVP_sha256());
        server_ = std::make_unique<httplib::SSLServer>(cert_, key_);
        server_->Get(".*", [this](const httplib::Request&, httplib::Response& res) {
            ++served_;
            res.set_content("{}", "application/json");
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        while (!server_->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~SelfSignedServer() {
        server_->stop();
        thread_.join();
        server_.reset();
        X509_free(cert_);
        EVP_PKEY_free(key_);
    }
    int port() const { return port_; }
    int served() const { return served_; }

private:
    EVP_PKEY* key_ = nullptr;
    X509* cert_ = nullptr;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> served_{0};
};

struct Result {
    int calls = 0;
    NSError error;
    AFHTTPSessionManager::Task task;
};

Result fetch(AFHTTPSessionManager& manager, const std::string& url) {
    Result result;
    manager.GET(
        url, JSON(), nullptr,
        [&](const AFHTTPSessionManager::Task& t, const std::optional<JSON>&) {
            ++result.calls;
            result.task = t;
        },
        [&](const AFHTTPSessionManager::Task& t, const NSError& e) {
            ++result.calls;
            result.task = t;
            result.error = e;
        });
    RunLoop::main().runUntil([&] { return result.calls > 0; });
    return result;
}

TEST(Tls, UntrustedCertificatesAndPlainServersAreRefusedWithoutAResponse) {
    SelfSignedServer secure;
    TestServer plain;
    AFHTTPSessionManager manager;

    Result untrusted = fetch(manager, "https://127.0.0.1:" + std::to_string(secure.port()) + "/ping");
    ASSERT_EQ(untrusted.calls, 1);
    EXPECT_EQ(untrusted.error.domain, NSURLErrorDomain);
    EXPECT_EQ(untrusted.error.code, NSURLErrorServerCertificateUntrusted);
    ASSERT_TRUE(untrusted.task);
    EXPECT_EQ(untrusted.task->response(), nullptr);
    EXPECT_EQ(secure.served(), 0);

    Result notTls = fetch(manager, "https://127.0.0.1:" + std::to_string(plain.port()) + "/ping");
    ASSERT_EQ(notTls.calls, 1);
    EXPECT_EQ(notTls.error.code, NSURLErrorSecureConnectionFailed);
    EXPECT_EQ(notTls.task->response(), nullptr);

    Result otherScheme = fetch(manager, "ftp://127.0.0.1:" + std::to_string(plain.port()) + "/ping");
    EXPECT_EQ(otherScheme.error.code, NSURLErrorUnsupportedURL);
}

TEST(Tls, AMissingCertificateStoreIsReportedAsItsOwnError) {
    SelfSignedServer secure;
    AFHTTPSessionManager manager;
    setCertificateAuthorityFile("/nonexistent/ca-certificates.crt");
    Result missing = fetch(manager, "https://127.0.0.1:" + std::to_string(secure.port()) + "/ping");
    setCertificateAuthorityFile(std::nullopt);

    ASSERT_EQ(missing.calls, 1);
    EXPECT_EQ(missing.error.code, NSURLErrorServerCertificateHasUnknownRoot);
    EXPECT_NE(missing.error.localizedDescription().find("ca-certificates"), std::string::npos);
    EXPECT_EQ(missing.task->response(), nullptr);
    EXPECT_EQ(secure.served(), 0);

    // With the system's store back, the same server is refused as untrusted again.
    Result untrusted = fetch(manager, "https://127.0.0.1:" + std::to_string(secure.port()) + "/ping");
    EXPECT_EQ(untrusted.error.code, NSURLErrorServerCertificateUntrusted);
}

} // namespace
} // namespace cw::nettest
