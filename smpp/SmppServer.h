// The SMPP side of the simulated SMSC: frames ESME PDUs, binds, answers and captures them.
#pragma once

#include "engine/FramedServer.h"
#include "engine/PendingAnswers.h"
#include "smpp/FaultRules.h"
#include "smpp/SmppPdu.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CPacketLog;

// How a connection bound: only receiver and transceiver binds may be sent deliver_sm, data_sm
// and alert_notification.
enum class BindKind : uint8_t { None, Receiver, Transmitter, Transceiver };

namespace smpp {

// Writes the message id text ("%06d" of the signed 16-bit value: 000042, -00001, -32768) and
// its NUL into out, which holds at least 8 octets. Returns the number of characters.
int FormatMessageId(int16_t id, char* out);

// Length of the leading string field of a body: up to the first NUL, the end of the body or
// maxChars, whichever comes first. A field with no NUL ends with the body.
int LeadingFieldLength(const uint8_t* body, int32_t bodyLength, int maxChars);

using ::BindKind;

} // namespace smpp

// Told by the SMPP server of the messages ESMEs submit and of the answers to the PDUs the server
// starts, and asked first when a query_sm comes. Not owned; every call comes on the UI thread.
class CSmppMessageListener {
public:
    struct QueryAnswer {
        std::string finalDate; // at most 16 characters
        uint8_t messageState = 0;
        uint8_t errorCode = 0;
    };

    virtual ~CSmppMessageListener() = default;
    // A submit_sm, data_sm or submit_multi has been answered with messageId; body as received.
    virtual void OnSubmitted(int /*index*/, uint32_t /*commandId*/, const std::string& /*messageId*/,
                             const uint8_t* /*body*/, int32_t /*bodyLength*/) {}
    // An ESME answered a PDU that SendServerPdu sent under tag.
    virtual void OnAnswered(int /*index*/, uint32_t /*commandId*/, uint32_t /*status*/, uint64_t /*tag*/) {}
    // True, with answer filled in, when the listener knows the message; otherwise the server
    // answers on its own.
    virtual bool AnswerQuery(std::string_view /*messageId*/, QueryAnswer& /*answer*/) { return false; }
};

// A framed server that speaks SMPP 3.4 to ESMEs on the UI thread. Owns one 10240-octet receive
// buffer per connection (through the framing), the 1024-octet response buffer shared by all
// connections, and the message id counter. Tells its observer of connections and binds, hands
// every PDU in both directions to the capture log, and lets the log wipe itself when full after
// each received PDU. Observers and the capture log are optional and not owned.
class CSmppServer : public CFramedServer {
public:
    static constexpr uint32_t kResponseAddress = 0x7F000001; // responses are captured as from 127.0.0.1

    explicit CSmppServer(QObject* parent = nullptr);

    // Starts listening, then prints the start line ("ok"/"fail" and the port) to the observer.
    // With port 0 the line shows the port actually picked.
    bool Start(uint16_t port, int maxConnections, int idleTimeoutSeconds);

    void SetPacketLog(CPacketLog* log) { m_log = log; }
    void SetMessageListener(CSmppMessageListener* listener) { m_listener = listener; }
    // A line for the console of every observer.
    void Report(std::string_view line) { NotifyPrint(line); }

    // Sends a PDU the server starts (deliver_sm, data_sm, alert_notification ...) on connection
    // index and captures it like a response: from 127.0.0.1 and the listening port, under
    // filterIndex. False, and nothing captured, when the connection is closing or gone.
    bool SendAndCapture(int index, const uint8_t* pdu, uint32_t length, int32_t filterIndex);

    // Unanswered deliver_sm and data_sm a connection remembers; older ones are forgotten.
    static constexpr std::size_t kMaxPending = 1024;

    // None for a bad index or an unbound connection.
    BindKind GetBindKind(int index) const;
    // The address_range of the connection's last bind; empty for a bad index.
    std::string GetAddressRange(int index) const;
    // Sends a PDU the server starts on connection index: the header takes that connection's next
    // sequence number (1 .. 0x7FFFFFFF, then 1 again) and the PDU is captured as from 127.0.0.1
    // and the listening port under the command's filter index. Returns the sequence number used,
    // 0 when nothing was sent (bad index, closing, or a bind that may not receive).
    // tag comes back in CSmppMessageListener::OnAnswered with the ESME's answer.
    uint32_t SendServerPdu(int index, uint32_t commandId, const std::vector<uint8_t>& body, uint64_t tag = 0);
    // The sequence number the connection's next server PDU takes (for tests of the wrap).
    void SetNextSequence(int index, uint32_t sequence);
    // Unanswered server PDUs the connection still waits for; 0 for a bad index.
    std::size_t PendingCount(int index) const;
    // Sends copies of the PDU to every receiver or transceiver bound under systemId; returns how
    // many PDUs went out.
    int SendToSystemId(const std::string& systemId, uint32_t commandId, const std::vector<uint8_t>& body,
                       int copies = 1);
    // The distinct system ids bound right now, in connection order.
    std::vector<std::string> BoundSystemIds() const;

    // The value the next submit_sm, data_sm or submit_multi takes; 0 at start.
    void SetNextMessageId(int16_t id) { m_nextMessageId = id; }
    int16_t GetNextMessageId() const { return m_nextMessageId; }

    // The rules every request the server answers is matched against; none at start. A rule's
    // answer keeps the message id its request took; answers leave in the order of their
    // requests except those a rule delays, which go out when their time is up (later answers
    // do not wait for them) unless their connection has closed by then. The console gets one
    // line per firing rule every kFaultReportMs.
    CFaultRules& Faults() { return m_faults; }
    static constexpr int64_t kFaultReportMs = 10000;

protected:
    void HandlePdu(int index, const uint8_t* pdu, uint32_t length) override;
    void HandleBadLength(int index, const uint8_t* header) override;
    void OnClose(int index) override;

private:
    struct DispatchRow;
    using Handler = void (CSmppServer::*)(int index, const DispatchRow& row, uint32_t sequence,
                                          const uint8_t* body, int32_t bodyLength);
    // A command the server answers and its handler; the rest comes from the protocol registry.
    struct DispatchRow {
        constexpr DispatchRow(uint32_t id, Handler h)
            : commandId(id), filterIndex(smpp::FilterIndexOf(id)), handler(h), responseId(smpp::ResponseOf(id)),
              responseFilterIndex(smpp::FilterIndexOf(responseId)), needsBind(smpp::NeedsBind(id)) {}
        constexpr DispatchRow(uint32_t id, int32_t filter, Handler h, uint32_t response, int32_t responseFilter)
            : commandId(id), filterIndex(filter), handler(h), responseId(response), responseFilterIndex(responseFilter),
              needsBind(false) {}
        uint32_t commandId;
        int32_t filterIndex;
        Handler handler;
        uint32_t responseId;
        int32_t responseFilterIndex;
        bool needsBind; // an unbound connection that sends it is closed without an answer
    };
    static const DispatchRow kDispatch[];
    static const DispatchRow kUnknownRow;
    static const DispatchRow& Lookup(uint32_t commandId);

    // Handlers, one per kind of dispatch row.
    void Bind(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void Unbind(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void HeaderOnly(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void IssueMessageId(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void SubmitMulti(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void QuerySm(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void TakeResponse(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void Unknown(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);

    // Closes an unbound connection without answering; true when the request may go on.
    bool CheckBound(int index);
    // The row's handler, behind the bound rule of its command.
    void Serve(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    // Zero-fills the response buffer and returns where the body starts.
    uint8_t* BeginResponse();
    // Writes the header in front of the body already in the buffer, sends and captures it.
    void SendResponse(int index, uint32_t commandId, uint32_t status, uint32_t sequence,
                      uint32_t length, int32_t filterIndex);
    void Capture(int index, const uint8_t* pdu, uint32_t length, int32_t filterIndex);
    // Writes the next message id and its NUL at out; returns the octets written.
    int TakeMessageId(uint8_t* out);

    // What the server keeps of a connection beyond its name, by connection id.
    struct Pending {
        uint32_t commandId;
        uint64_t tag;
    };
    struct Session {
        BindKind kind = BindKind::None;
        std::string addressRange;
        uint32_t nextSequence = 1;
        CPendingAnswers<Pending, kMaxPending> pending;
    };
    const Session* FindSession(int index) const;
    static bool MayReceive(BindKind kind) { return kind == BindKind::Receiver || kind == BindKind::Transceiver; }

    // Fault rules (SmppServerFaults.cpp). ApplyFaults is true when a rule decided the answer.
    bool ApplyFaults(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body, int32_t bodyLength);
    void AnswerWithStatus(int index, uint32_t commandId, uint32_t status, uint32_t sequence, int32_t filterIndex,
                          int64_t delayMs, bool close);
    void HoldResponse(int index, uint32_t length, int32_t filterIndex);
    void SendHeld(uint64_t connection, const std::vector<uint8_t>& pdu, int32_t filterIndex, bool close);
    void RefuseBind(int index);
    void ReportFaults();

    CFaultRules m_faults;
    struct Hold {
        bool active = false; // SendResponse keeps the answer for later instead of sending it
        int64_t delayMs = 0;
        bool close = false;
    } m_hold;
    bool m_faultReportDue = false;
    CPacketLog* m_log = nullptr;
    CSmppMessageListener* m_listener = nullptr;
    std::unordered_map<uint64_t, Session> m_sessions;
    uint16_t m_ownPort = 0;
    int16_t m_nextMessageId = 0;
    uint8_t m_response[smpp::kResponseSize] = {};
};
