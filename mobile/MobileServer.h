// The mobile server: mobile-phone simulators log in and submit over the binary TEST protocol.
#pragma once

#include "engine/FramedServer.h"
#include "engine/PendingAnswers.h"
#include "protocol/Registry.h"
#include "protocol/TestCommands.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test_protocol {

constexpr int kHeaderSize = int(protocol::HeaderSizeOf(protocol::kTest));
constexpr int kMaxPacketSize = int(protocol::MaxPduOf(protocol::kTest));

// The commands as the registry of the protocol has them.
constexpr uint32_t kLogin = protocol::test::kLogin;
constexpr uint32_t kLoginResp = protocol::test::kLoginResp;
constexpr uint32_t kSubmit = protocol::test::kSubmit;
constexpr uint32_t kSubmitResp = protocol::test::kSubmitResp;
constexpr uint32_t kDeliver = protocol::test::kDeliver;
constexpr uint32_t kDeliverResp = protocol::test::kDeliverResp;

constexpr int kTerminalNumberOffset = 16; // in LOGIN, after the 4-octet terminal_type
constexpr int kTerminalNumberWidth = 24;
constexpr int kMaxTerminalNumberChars = 19; // what a connection name holds
constexpr int kMsgIdWidth = 10;
constexpr int kMaxContentOctets = 255; // msg_length is one octet

// Body offsets of SUBMIT and DELIVER, from the start of the packet.
constexpr int kDestTerminalOffset = 12;
constexpr int kSrcTerminalOffset = 36;
constexpr int kMsgIdOffset = 60;
constexpr int kMsgLengthOffset = 70;
constexpr int kSubmitContentOffset = 71;
constexpr int kMsgFormatOffset = 71;     // DELIVER only
constexpr int kDeliverContentOffset = 72;
constexpr int kDeliverRespResultOffset = 12;

constexpr uint16_t kProtocolCode = protocol::kTest;
constexpr int32_t kFilterIndex = protocol::filter::kMobile;

constexpr int32_t kResultOk = 0;
constexpr int32_t kResultNumberInUse = -1;

// What a simulator's SUBMIT carries, as far as the packet holds it.
struct TerminalMessage {
    std::string destTerminal;
    std::string srcTerminal;
    std::string msgId;
    std::vector<uint8_t> content;
};

} // namespace test_protocol

// Told by the mobile server of what simulators submit and of their answers to the DELIVERs the
// server sends. Not owned; every call comes on the UI thread.
class CMobileMessageListener {
public:
    virtual ~CMobileMessageListener() = default;
    // A SUBMIT from connection has been answered.
    virtual void OnTerminalSubmitted(const CConnection& /*connection*/, const test_protocol::TerminalMessage& /*message*/) {}
    // A DELIVER_RESP answered a DELIVER that DeliverToTerminal sent under tag.
    virtual void OnDeliverAnswered(int32_t /*result*/, uint64_t /*tag*/) {}
};

// A CFramedServer that speaks TEST to mobile-phone simulators on the UI thread. Answers LOGIN
// (the terminal number becomes the connection's name) and SUBMIT; every other packet is captured
// and left unanswered. Each connection's session keeps the DELIVERs it has not answered yet.
// Observers and the capture log are optional, not owned.
class CMobileServer : public CFramedServer {
public:
    explicit CMobileServer(QObject* parent = nullptr);

    // Starts listening, then prints "Mobile server start OK! (port = N)" or "fail" to the
    // observer. With port 0 the line shows the port actually picked.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);

    void SetMessageListener(CMobileMessageListener* listener) { m_listener = listener; }

    // Unanswered DELIVERs a connection remembers; older ones are forgotten.
    static constexpr std::size_t kMaxPending = 1024;

    // msg_format of a TEST DELIVER for an SMPP data_coding: 0, 4, 8, 15 map to themselves, others to 0.
    static uint8_t MsgFormatFor(uint8_t dataCoding);
    // Sends copies of a TEST DELIVER (msg_id from a counter as ten characters) to every simulator
    // logged in under terminal; content is cut to 255 octets. Returns how many packets went out.
    // tag comes back in CMobileMessageListener::OnDeliverAnswered with the simulator's answer.
    int DeliverToTerminal(const std::string& terminal, const std::string& sourceTerminal, uint8_t msgFormat,
                          const std::vector<uint8_t>& content, int copies = 1, uint64_t tag = 0);
    // Unanswered DELIVERs the connection still waits for.
    std::size_t PendingCount(const CConnection& connection) const;
    // The terminal numbers logged in right now, in connection order.
    std::vector<std::string> LoggedInTerminals() const;

protected:
    void OnAccept(CConnection& connection) override;
    void HandlePdu(CConnection& connection, const uint8_t* packet, uint32_t length) override;
    void HandleBadLength(CConnection& connection, const uint8_t* header) override;

private:
    // The tags of a simulator's unanswered DELIVERs, by sequence number.
    struct Session : CConnectionSession {
        CPendingAnswers<uint64_t, kMaxPending> pending;
    };

    void Login(CConnection& connection, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void Submit(CConnection& connection, uint32_t sequence, const uint8_t* packet, uint32_t length);
    void TakeDeliverResp(CConnection& connection, uint32_t sequence, const uint8_t* packet, uint32_t length);
    void Reply(CConnection& connection, const uint8_t* packet, uint32_t length);
    bool NameInUseByAnother(const CConnection& connection, const char* name) const;

    CMobileMessageListener* m_listener = nullptr;
    // Sequence and msg_id of the next DELIVER.
    uint32_t m_nextDeliver = 1;
};
