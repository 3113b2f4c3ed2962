// A test ESME on a loopback socket and a fixture that runs a CSmppServer with a capture log on port 0.
#pragma once

#include "capture/PacketLog.h"
#include "engine/ServerObserver.h"
#include "smpp/SmppServer.h"
#include "tests/support/Bytes.h"
#include "tests/support/QtTestEnv.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/TestClient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace test_esme {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr int kCloseWaitMs = CSocketServer::kClosePauseMs + test_net::kWaitMs;
constexpr uint32_t kCaptureTime = 1'700'000'123;
constexpr int64_t kStartTime = 1'700'000'000;
constexpr uint32_t kLoopback = 0x7F000001;

inline uint32_t CaptureTime() { return kCaptureTime; }

inline uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | uint32_t(b[at + 3]);
}

// A full SMPP 3.4 bind body around the given system_id.
inline Bytes BindBody(const std::string& systemId) {
    return Builder().cstr(systemId).cstr("secret").cstr("TEST").u8(0x34).u8(1).u8(1).cstr("");
}

// A submit_sm body to 67890 with the text "Hi".
inline Bytes SubmitBody(uint8_t registeredDelivery = 0) {
    return Builder()
        .cstr("")
        .u8(1).u8(1).cstr("12345")
        .u8(1).u8(1).cstr("67890")
        .u8(0).u8(0).u8(0)
        .cstr("").cstr("")
        .u8(registeredDelivery).u8(0).u8(0).u8(0)
        .u8(2).raw("Hi");
}

// submit_multi to two SME addresses with the text "Hi".
inline Bytes SubmitMultiBody() {
    return Builder()
        .cstr("")
        .u8(1).u8(1).cstr("12345")
        .u8(2)
        .u8(1).u8(1).u8(1).cstr("67890")
        .u8(1).u8(1).u8(1).cstr("67891")
        .u8(0).u8(0).u8(0)
        .cstr("").cstr("")
        .u8(0).u8(0).u8(0).u8(0)
        .u8(2).raw("Hi");
}

// The data_sm mandatory body: service_type, addresses, esm_class, registered_delivery, data_coding.
inline Bytes DataSmBody() {
    return Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890").u8(0).u8(0).u8(0);
}

// A bind response as an ESME expects it: system_id, then sc_interface_version 0x34.
inline Bytes BindResp(uint32_t commandId, uint32_t sequence, const std::string& systemId) {
    return SmppPdu(commandId, sequence, Builder().cstr(systemId).u16(0x0210).u16(1).u8(0x34));
}

// A loopback ESME: a TestClient that also cuts what it receives into PDUs.
class Esme : public test_net::TestClient {
public:
    bool Connect(uint16_t port, int timeoutMs = test_net::kWaitMs) {
        const bool connected = TestClient::Connect(port, timeoutMs);
        m_localPort = TestClient::LocalPort();
        // Requests that follow each other must not wait for the server's delayed ACK.
        Socket().setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return connected;
    }
    // The port the ESME connected from, still known after the connection has gone.
    uint16_t LocalPort() const { return m_localPort; }

    // The next whole PDU the server sent, or nothing when none arrives within the bound.
    std::optional<Bytes> NextPdu(int timeoutMs = test_net::kWaitMs) {
        if (!WaitForBytes(16, timeoutMs))
            return std::nullopt;
        const uint32_t length = Be32(Received(), 0);
        if (length < 16 || !WaitForBytes(length, timeoutMs))
            return std::nullopt;
        return Take(length);
    }

    // Binds as a transceiver and returns whether the expected response came.
    bool Bind(const std::string& systemId, uint32_t sequence = 1) {
        Send(SmppPdu(0x00000009, sequence, BindBody(systemId)));
        return NextPdu() == BindResp(0x80000009, sequence, systemId.substr(0, 15));
    }

private:
    uint16_t m_localPort = 0;
};

// A started CSmppServer on a free port with an empty capture log (default filter), a recording
// observer and a clock the test moves by hand.
class SmppServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.Reset();
        log.SetTimeSource(CaptureTime);
        server.AddObserver(&observer);
        server.SetPacketLog(&log);
        server.SetClock([this] { return now; });
        ASSERT_TRUE(server.Start(0, maxConnections, 3600));
        port = server.ListeningPort();
    }

    // A connected ESME, accepted by the server.
    std::unique_ptr<Esme> Connect() {
        auto esme = std::make_unique<Esme>();
        EXPECT_TRUE(esme->Connect(port));
        EXPECT_TRUE(test_net::WaitUntil([&] { return IndexOf(*esme) >= 0; }));
        return esme;
    }
    // The ESME's current place in the connection table, -1 when it has none.
    int IndexOf(const Esme& esme) const {
        for (int i = 0; i < server.GetConnectionCount(); ++i) {
            if (server.GetPeerPort(i) == esme.LocalPort())
                return i;
        }
        return -1;
    }
    std::unique_ptr<Esme> ConnectBound(const std::string& systemId) {
        auto esme = Connect();
        EXPECT_TRUE(esme->Bind(systemId));
        return esme;
    }

    std::vector<Bytes> Records() const {
        std::vector<Bytes> records;
        for (int32_t i = 0; i < log.GetCount(); ++i) {
            uint32_t length = 0;
            const uint8_t* record = log.PacketAt(i, &length);
            records.emplace_back(record, record + length);
        }
        return records;
    }
    // How the log stores a PDU the ESME sent, and one the server sent.
    Bytes FromEsme(const Esme& esme, const Bytes& pdu) const {
        return test_bytes::CaptureRecord(2, pdu, kCaptureTime, kLoopback, esme.LocalPort());
    }
    Bytes FromServer(const Bytes& pdu) const { return test_bytes::CaptureRecord(2, pdu, kCaptureTime, kLoopback, port); }

    // Waits until the server has handled (captured) n more PDUs than before.
    bool WaitForRecords(int32_t count) {
        return test_net::WaitUntil([&] { return log.GetCount() >= count; });
    }

    int maxConnections = 10;
    int64_t now = kStartTime;
    CPacketLog log;
    RecordingObserver observer;
    CSmppServer server;
    uint16_t port = 0;
};

} // namespace test_esme
