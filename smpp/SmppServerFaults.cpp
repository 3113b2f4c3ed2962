// CSmppServer's delivery policy: the fault rules decide whether an answer is sent, held, followed
// by a close or dropped, and refuse binds.
#include "smpp/SmppServer.h"

#include "smpp/BodyReader.h"

#include <string_view>

using namespace smpp;

namespace {

constexpr uint32_t kStatusInvalidBindStatus = 0x00000004; // ESME_RINVBNDSTS

} // namespace

CSmppServer::Delivery CSmppServer::Judge(CConnection& connection, const Request& request) {
    const DispatchRow& row = request.row;
    // What the server never answers meets no rule.
    if (row.handler == &CSmppServer::Unknown || row.handler == &CSmppServer::TakeResponse)
        return {};
    const bool bind = row.handler == &CSmppServer::Bind;
    const uint64_t id = connection.Id();
    std::string_view systemId;
    if (bind) {
        systemId = LeadingText(request.body, request.bodyLength, kMaxSystemIdChars);
    } else if (!connection.IsNamed()) {
        if (!m_faults.BindRefused(id))
            return {}; // the bound rule, as ever: closed without an answer
        // An ESME whose bind a rule refused is told why its request fails before the bound
        // rule closes the connection: that is the error path it is here to test.
        return {Delivery::Kind::StatusOnly, row.responseId, row.responseFilterIndex, kStatusInvalidBindStatus, 0, true};
    } else {
        systemId = connection.Name();
    }

    FaultDecision decision;
    if (!m_faults.Decide(id, row.commandId, systemId, request.body, request.bodyLength, Scheduler(), &decision)) {
        if (bind)
            m_faults.SetBindRefused(id, false);
        return {};
    }
    if (!m_faultReportDue) {
        // The count goes to the console once per period of firing, never once per PDU.
        m_faultReportDue = true;
        Scheduler().After(kFaultReportMs, this, [this] { ReportFaults(); });
    }

    const bool closeAfter = decision.action == FaultAction::Close;
    // Anything but a plain answer leaves a bind refused: an error answer has no body and takes
    // no message id.
    const bool refused = decision.action == FaultAction::Drop || decision.action == FaultAction::Nack ||
                         decision.status != kStatusOk;
    if (bind && refused)
        RefuseBind(connection);
    else if (bind)
        m_faults.SetBindRefused(id, false);
    switch (decision.action) {
    case FaultAction::Drop:
        return {Delivery::Kind::Drop};
    case FaultAction::Nack:
        return {Delivery::Kind::StatusOnly, kGenericNack, kFilterGenericNack, decision.status, decision.delayMs, false};
    case FaultAction::Answer:
    case FaultAction::Close:
        break;
    }
    if (decision.status != kStatusOk)
        return {Delivery::Kind::StatusOnly, row.responseId, row.responseFilterIndex, decision.status, decision.delayMs,
                closeAfter};
    // Served as usual, only late or followed by a close.
    return {Delivery::Kind::Serve, 0, 0, kStatusOk, decision.delayMs, closeAfter};
}

void CSmppServer::Deliver(CConnection& connection, const Answer& answer, const Delivery& delivery) {
    if (!answer.Present())
        return;
    const bool close = delivery.closeAfter || answer.closeAfter;
    if (delivery.delayMs > 0) {
        ++SessionOf(connection).held;
        return Hold(connection, answer, delivery.delayMs, close);
    }
    SendAndCapture(connection, answer.Pdu(), answer.Length(), answer.FilterIndex());
    if (close)
        CloseConnection(connection);
}

void CSmppServer::Hold(const CConnection& connection, const Answer& answer, int64_t delayMs, bool close) {
    // The answer is built now, so it keeps the message id its request took; the connection is
    // looked up again by id when it is due, since it may be gone by then.
    std::vector<uint8_t> pdu(answer.Pdu(), answer.Pdu() + answer.Length());
    const int32_t filterIndex = answer.FilterIndex();
    const uint64_t id = connection.Id();
    Scheduler().After(delayMs, this, [this, id, pdu = std::move(pdu), filterIndex, close] {
        SendHeld(id, pdu, filterIndex, close);
    });
}

void CSmppServer::SendHeld(uint64_t id, const std::vector<uint8_t>& pdu, int32_t filterIndex, bool close) {
    CConnection* connection = FindConnection(id);
    if (!connection)
        return;
    --SessionOf(*connection).held;
    if (!SendAndCapture(*connection, pdu.data(), uint32_t(pdu.size()), filterIndex))
        return;
    if (close)
        CloseConnection(*connection);
}

void CSmppServer::RefuseBind(CConnection& connection) {
    m_faults.SetBindRefused(connection.Id(), true);
    if (!connection.IsNamed())
        return;
    connection.SetName("");
    NotifyLoggedIn(connection); // the online list shows the connection unbound again
}

void CSmppServer::ReportFaults() {
    m_faultReportDue = false;
    for (const std::string& line : m_faults.TakeReport(int(kFaultReportMs / 1000)))
        NotifyPrint(line);
}
