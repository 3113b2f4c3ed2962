// Reading a PEM certificate and key, and making a self-signed pair with OpenSSL's libcrypto.
#include "simulator/TlsCredentials.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

constexpr const char* kCertificateFile = "tls-cert.pem";
constexpr const char* kKeyFile = "tls-key.pem";
constexpr long kValidSeconds = 10L * 365 * 24 * 3600;
constexpr const char* kCommonName = "Tarnwick SMSC simulator";
constexpr const char* kAltNames = "DNS:localhost,IP:127.0.0.1";

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

QByteArray Drain(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(length));
}

// A P-256 key and a certificate for localhost and 127.0.0.1 signed with it, both as PEM; empty
// when libcrypto refused a step.
std::pair<QByteArray, QByteArray> MakeSelfSigned() {
    const Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    const Owned<X509, X509_free> certificate(X509_new());
    if (!key || !certificate)
        return {};
    X509* cert = certificate.get();
    X509_NAME* name = X509_get_subject_name(cert);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    const Owned<X509_EXTENSION, X509_EXTENSION_free> altNames(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, kAltNames));
    const bool made = X509_set_version(cert, 2) &&
        ASN1_INTEGER_set_int64(X509_get_serialNumber(cert), int64_t(QRandomGenerator::system()->generate64() >> 1)) &&
        X509_gmtime_adj(X509_getm_notBefore(cert), 0) && X509_gmtime_adj(X509_getm_notAfter(cert), kValidSeconds) &&
        X509_set_pubkey(cert, key.get()) &&
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(kCommonName), -1,
                                   -1, 0) &&
        X509_set_issuer_name(cert, name) && altNames && X509_add_ext(cert, altNames.get(), -1) &&
        X509_sign(cert, key.get(), EVP_sha256()) > 0;
    const Owned<BIO, BIO_free_all> certificateText(BIO_new(BIO_s_mem())), keyText(BIO_new(BIO_s_mem()));
    if (!made || !certificateText || !keyText || !PEM_write_bio_X509(certificateText.get(), cert) ||
        !PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
        return {};
    return {Drain(certificateText.get()), Drain(keyText.get())};
}

bool Write(const QString& path, const QByteArray& text, QFile::Permissions permissions) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.setPermissions(permissions) &&
           file.write(text) == text.size() && file.flush();
}

// The key in any of the algorithms a certificate may carry.
QSslKey ReadKey(const QByteArray& pem) {
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    return {};
}

} // namespace

QString tls_credentials::DefaultFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

tls_credentials::Loaded tls_credentials::Load(const QString& certificatePath, const QString& keyPath,
                                               const QString& folder) {
    if (!QSslSocket::supportsSsl())
        return {std::nullopt, "no TLS backend: " + QSslSocket::activeBackend().toStdString()};
    const bool selfSigned = certificatePath.isEmpty() && keyPath.isEmpty();
    const QString certificateFile = selfSigned ? QDir(folder).filePath(kCertificateFile) : certificatePath;
    const QString keyFile = selfSigned ? QDir(folder).filePath(kKeyFile) : keyPath;
    if (selfSigned && !(QFile::exists(certificateFile) && QFile::exists(keyFile))) {
        const auto [certificate, key] = MakeSelfSigned();
        if (certificate.isEmpty())
            return {std::nullopt, "cannot make a self-signed certificate"};
        if (!QDir().mkpath(folder) || !Write(keyFile, key, QFile::ReadOwner | QFile::WriteOwner) ||
            !Write(certificateFile, certificate, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther))
            return {std::nullopt, "cannot write the self-signed certificate to " + folder.toStdString()};
    }

    QFile certificateText(certificateFile), keyText(keyFile);
    if (!certificateText.open(QIODevice::ReadOnly))
        return {std::nullopt, "cannot read certificate " + certificateFile.toStdString()};
    if (!keyText.open(QIODevice::ReadOnly))
        return {std::nullopt, "cannot read key " + keyFile.toStdString()};
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateText.readAll(), QSsl::Pem);
    if (chain.isEmpty())
        return {std::nullopt, "no PEM certificate in " + certificateFile.toStdString()};
    const QSslKey key = ReadKey(keyText.readAll());
    if (key.isNull())
        return {std::nullopt, "no PEM private key in " + keyFile.toStdString()};

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return {configuration, (selfSigned ? "self-signed certificate " : "certificate ") + certificateFile.toStdString()};
}
