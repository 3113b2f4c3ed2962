// The SMPP service on its TLS port: the certificate it serves, a bind and submit through Qt's TLS
// client, and handshakes that fail, over loopback.
#include "simulator/Settings.h"
#include "simulator/Simulator.h"
#include "simulator/TlsCredentials.h"

#include "tests/support/Bytes.h"
#include "tests/support/Connections.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using test_net::TestClient;
using test_net::WaitUntil;
using Bytes = std::vector<uint8_t>;

const Bytes kBind = SmppPdu(0x00000009, 1, Builder().cstr("secure").cstr("pw").cstr("").u8(0x34).u8(0).u8(0).cstr(""));
const Bytes kBindResp = SmppPdu(0x80000009, 1, Builder().cstr("secure").u16(0x0210).u16(1).u8(0x50));
const Bytes kSubmit = SmppPdu(0x00000004, 2, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")
    .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi"));

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CSettings::SelectStore();
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, s_settings.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_settings.path());
        QDir(tls_credentials::DefaultFolder()).removeRecursively();
    }
    void TearDown() override {
        if (simulator)
            simulator->Smpp().RemoveObserver(&observer);
    }

    // A simulator on loopback with its TLS port; its start lines are kept.
    bool Start(const TlsOptions& tls, int handshakeMs = 5000) {
        if (simulator)
            simulator->Smpp().RemoveObserver(&observer);
        observer.lines.clear();
        SimulatorOptions options;
        options.smppPort = options.mobilePort = 0;
        options.ucpPort = 0;
        options.cimdPort = 0;
        options.listen = QHostAddress::LocalHost;
        simulator = std::make_unique<CSimulator>(options);
        simulator->Smpp().AddObserver(&observer);
        simulator->UseTls(tls);
        simulator->Smpp().SetTlsHandshakeTimeout(handshakeMs);
        return simulator->Start();
    }
    uint16_t TlsPort() const { return simulator->Smpp().TlsListeningPort(); }
    std::string StartLine(const std::string& detail) const {
        return "SMPP TLS server start ok! (port = " + std::to_string(TlsPort()) + ", " + detail + ")\r\n";
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The next whole PDU from a TLS client, decrypted.
    static std::optional<Bytes> NextPdu(QSslSocket& socket) {
        if (!WaitUntil([&] { return socket.bytesAvailable() >= 4; }))
            return std::nullopt;
        const QByteArray head = socket.peek(4);
        const uint32_t length = uint32_t(uint8_t(head[0])) << 24 | uint32_t(uint8_t(head[1])) << 16 |
                                uint32_t(uint8_t(head[2])) << 8 | uint32_t(uint8_t(head[3]));
        if (!WaitUntil([&] { return socket.bytesAvailable() >= qint64(length); }))
            return std::nullopt;
        const QByteArray pdu = socket.read(length);
        return Bytes(pdu.begin(), pdu.end());
    }
    static void Send(QSslSocket& socket, const Bytes& pdu) {
        socket.write(reinterpret_cast<const char*>(pdu.data()), qint64(pdu.size()));
    }

    static inline QTemporaryDir s_settings;
    RecordingObserver observer;
    std::unique_ptr<CSimulator> simulator;
};

// Without files, a self-signed pair is made once in the data folder and kept; named files are
// used as they are; files that cannot be used, or a port in use, stop the TLS port with the reason.
TEST_F(TlsTest, CertificateIsMadeOnceKeptOrReadFromTheNamedFiles) {
    const QString folder = tls_credentials::DefaultFolder();
    const QString certificate = QDir(folder).filePath("tls-cert.pem"), key = QDir(folder).filePath("tls-key.pem");
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(observer.lines.at(1), StartLine("self-signed certificate " + certificate.toStdString()));
    const QByteArray made = Read(certificate);
    EXPECT_TRUE(made.startsWith("-----BEGIN CERTIFICATE-----"));
    // An ESME may name the host either way, and the pair is made once for years.
    const QSslCertificate cert(made);
    EXPECT_TRUE(cert.subjectAlternativeNames().contains(QSsl::DnsEntry, "localhost"));
    EXPECT_GT(cert.expiryDate(), QDateTime::currentDateTimeUtc().addYears(9));
    EXPECT_EQ(QFile::permissions(key) & (QFile::ReadGroup | QFile::ReadOther), 0) << "the key is its owner's";

    ASSERT_TRUE(Start({}));
    EXPECT_EQ(Read(certificate), made) << "kept, not made again";
    ASSERT_TRUE(Start({0, certificate, key}));
    EXPECT_EQ(observer.lines.at(1), StartLine("certificate " + certificate.toStdString()));

    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const std::string taken = std::to_string(occupant.serverPort());
    QTemporaryDir other;
    const QString notPem = other.filePath("not.pem");
    QFile(notPem).open(QIODevice::WriteOnly);
    const struct {
        const char* name;
        TlsOptions tls;
        std::string line;
    } refused[] = {
        {"port in use", {occupant.serverPort(), certificate, key},
         "SMPP TLS server start fail! (port = " + taken + ", certificate " + certificate.toStdString() + ")\r\n"},
        {"no such key", {0, certificate, other.filePath("none.pem")},
         "SMPP TLS server start fail! (port = 0, cannot read key " + other.filePath("none.pem").toStdString() + ")\r\n"},
        {"no certificate in it", {0, notPem, key},
         "SMPP TLS server start fail! (port = 0, no PEM certificate in " + notPem.toStdString() + ")\r\n"},
        {"a certificate for a key", {0, certificate, certificate},
         "SMPP TLS server start fail! (port = 0, no PEM private key in " + certificate.toStdString() + ")\r\n"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(Start(r.tls));
        EXPECT_EQ(observer.lines.at(1), r.line);
        EXPECT_NE(simulator->Smpp().ListeningPort(), 0) << "the plain port serves on";
    }
}

// A client that trusts the served certificate by its own error binds and submits over TLS; the
// capture holds the plain PDUs, the table marks the connection, and the plain port shares the
// message id counter. Bytes that open no handshake, or a broken one, leave one console line each
// and a closed connection, and the port keeps serving.
TEST_F(TlsTest, BindAndSubmitOverTlsAndRefusedHandshakes) {
    ASSERT_TRUE(Start({}, 100));
    const QList<QSslCertificate> served =
        QSslCertificate::fromPath(QDir(tls_credentials::DefaultFolder()).filePath("tls-cert.pem"));
    ASSERT_EQ(served.size(), 1);

    const struct {
        const char* name;
        QByteArray bytes;
        std::string why;
    } refused[] = {
        {"an SMPP bind in the clear", QByteArray(reinterpret_cast<const char*>(kBind.data()), qsizetype(kBind.size())),
         "not a TLS handshake"},
        {"a handshake record of nonsense", QByteArray("\x16\x03\x01\x00\x05hello", 10), "Error during SSL handshake"},
        {"nothing at all", QByteArray(), "no handshake within 100 ms"},
    };
    observer.lines.clear();
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        const size_t before = observer.lines.size();
        TestClient plain;
        ASSERT_TRUE(plain.Connect(TlsPort()));
        plain.Send(std::string_view(r.bytes.constData(), size_t(r.bytes.size())));
        EXPECT_TRUE(plain.WaitForDisconnected());
        ASSERT_TRUE(WaitUntil([&] { return observer.lines.size() > before; }));
        EXPECT_TRUE(observer.lines.back().starts_with("TLS handshake from 127.0.0.1:" + std::to_string(plain.LocalPort()) +
                                                      " failed: " + r.why))
            << observer.lines.back();
        EXPECT_EQ(simulator->Smpp().GetConnectionCount(), 0);
    }

    QSslSocket esme;
    esme.ignoreSslErrors({QSslError(QSslError::SelfSignedCertificate, served[0])});
    esme.connectToHostEncrypted("127.0.0.1", TlsPort());
    ASSERT_TRUE(WaitUntil([&] { return esme.isEncrypted(); })) << esme.errorString().toStdString();
    EXPECT_EQ(esme.peerCertificate(), served[0]);
    simulator->Log().Reset();
    Send(esme, kBind);
    EXPECT_EQ(NextPdu(esme), kBindResp);
    Send(esme, kSubmit);
    const Bytes submitResp = SmppPdu(0x80000004, 2, Builder().cstr("000000"));
    EXPECT_EQ(NextPdu(esme), submitResp);
    ASSERT_EQ(simulator->Smpp().GetConnectionCount(), 1);
    EXPECT_TRUE(test_net::NthConnection(simulator->Smpp(), 0)->IsTls());
    EXPECT_STREQ(test_net::NthConnection(simulator->Smpp(), 0)->Name(), "secure");

    std::vector<Bytes> captured;
    for (int32_t i = 0; i < simulator->Log().GetCount(); ++i) {
        uint32_t length = 0;
        const uint8_t* record = simulator->Log().PacketAt(i, &length);
        captured.emplace_back(record, record + length);
        // The server's end of every record, whichever way it went, is the TLS port.
        const PacketSummary& summary = simulator->Log().SummaryAt(i);
        EXPECT_EQ(i % 2 == 0 ? summary.peer.port : summary.source.port, TlsPort()) << "record " << i;
    }
    const std::vector<Bytes> pdus = {kBind, kBindResp, kSubmit, submitResp};
    ASSERT_EQ(captured.size(), pdus.size());
    for (size_t i = 0; i < pdus.size(); ++i) {
        EXPECT_TRUE(captured[i].size() > pdus[i].size() &&
                    std::equal(pdus[i].begin(), pdus[i].end(), captured[i].end() - std::ptrdiff_t(pdus[i].size())))
            << "record " << i << " holds the plain PDU";
    }

    TestClient plain;
    ASSERT_TRUE(plain.Connect(simulator->Smpp().ListeningPort()));
    plain.Send(kBind);
    EXPECT_EQ(plain.NextPdu(), kBindResp);
    plain.Send(kSubmit);
    EXPECT_EQ(plain.NextPdu(), SmppPdu(0x80000004, 2, Builder().cstr("000001")));
    EXPECT_FALSE(test_net::NthConnection(simulator->Smpp(), 1)->IsTls());
    EXPECT_EQ(observer.lines.size(), std::size(refused)) << "one line for each refused handshake, and no more";

    // The TLS client leaves: its connection and socket go without a word about its handshake.
    std::vector<QPointer<QSslSocket>> sockets;
    for (QSslSocket* socket : simulator->Smpp().findChildren<QSslSocket*>())
        sockets.emplace_back(socket);
    ASSERT_FALSE(sockets.empty());
    esme.disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return std::all_of(sockets.begin(), sockets.end(), [](const auto& s) { return s.isNull(); }); }));
    EXPECT_EQ(simulator->Smpp().GetConnectionCount(), 1);
    EXPECT_EQ(observer.lines.size(), std::size(refused)) << observer.lines.back();
}

// Handshakes that start together are each watched on their own socket: the two that complete join
// the table as TLS connections and serve, and the one that opens no handshake is the only one reported.
TEST_F(TlsTest, HandshakesArrivingTogetherAreEachTheirOwn) {
    ASSERT_TRUE(Start({}));
    observer.lines.clear();
    QSslSocket first, second;
    QTcpSocket clear; // an SMPP bind where a handshake should be
    for (QSslSocket* esme : {&first, &second}) {
        esme->setPeerVerifyMode(QSslSocket::VerifyNone);
        esme->connectToHostEncrypted("127.0.0.1", TlsPort());
    }
    uint16_t clearPort = 0; // the server drops it soon after
    QObject::connect(&clear, &QTcpSocket::connected, [&] { clearPort = clear.localPort(); });
    clear.connectToHost("127.0.0.1", TlsPort());
    clear.write(reinterpret_cast<const char*>(kBind.data()), qint64(kBind.size()));
    ASSERT_TRUE(WaitUntil([&] { return first.isEncrypted() && second.isEncrypted() && !observer.lines.empty(); }));
    for (QSslSocket* esme : {&first, &second}) {
        Send(*esme, kBind);
        EXPECT_EQ(NextPdu(*esme), kBindResp);
    }
    ASSERT_EQ(simulator->Smpp().GetConnectionCount(), 2);
    std::vector<uint16_t> ports;
    simulator->Smpp().ForEachConnection([&](const CConnection& connection) {
        EXPECT_TRUE(connection.IsTls());
        ports.push_back(connection.PeerPort());
    });
    EXPECT_EQ(ports, (std::vector<uint16_t>{first.localPort(), second.localPort()}));
    ASSERT_EQ(observer.lines.size(), 1u);
    EXPECT_EQ(observer.lines[0], "TLS handshake from 127.0.0.1:" + std::to_string(clearPort) +
                                     " failed: not a TLS handshake\r\n");
}

} // namespace
