// The certificate and key of the SMPP server's TLS port: PEM files the user names, or a self-signed
// pair made on first use and kept in the application's data folder.
#pragma once

#include <QSslConfiguration>
#include <QString>

#include <optional>
#include <string>

namespace tls_credentials {

struct Loaded {
    std::optional<QSslConfiguration> configuration; // none when the pair could not be had
    std::string detail; // where the certificate is ("certificate FILE", "self-signed certificate FILE"), or why not
};

// With both paths empty, the self-signed pair kept in folder (made there when missing; the key
// readable by its owner only); otherwise the two PEM files. Peers are not asked for certificates.
Loaded Load(const QString& certificatePath, const QString& keyPath, const QString& folder);

// Where the self-signed pair is kept: the application's data folder (QStandardPaths::AppDataLocation).
QString DefaultFolder();

} // namespace tls_credentials
