// CSmppServer under fault rules: refused binds, late, dropped, nacked and closing answers.
#include "smpp/SmppServer.h"

#include "capture/PacketLog.h"

#include <string_view>

using namespace smpp;

namespace {

constexpr uint32_t kStatusInvalidBindStatus = 0x00000004; // ESME_RINVBNDSTS

} // namespace

bool CSmppServer::ApplyFaults(int index, const DispatchRow& row, uint32_t sequence, const uint8_t* body,
                              int32_t bodyLength) {
    // What the server never answers meets no rule.
    if (row.handler == &CSmppServer::Unknown || row.handler == &CSmppServer::TakeResponse)
        return false;
    const bool bind = row.handler == &CSmppServer::Bind;
    const uint64_t connection = GetConnectionId(index);
    std::string_view systemId;
    if (bind) {
        const int length = LeadingFieldLength(body, bodyLength, kMaxSystemIdChars);
        systemId = std::string_view(reinterpret_cast<const char*>(body), size_t(length));
    } else {
        systemId = NameOf(index);
        if (systemId.empty()) {
            if (!m_faults.BindRefused(connection))
                return false; // the bound rule, as ever: closed without an answer
            // An ESME whose bind a rule refused is told why its request fails before the bound
            // rule closes the connection: that is the error path it is here to test.
            AnswerWithStatus(index, row.responseId, kStatusInvalidBindStatus, sequence, row.responseFilterIndex, 0,
                             true);
            return true;
        }
    }

    FaultDecision decision;
    if (!m_faults.Decide(connection, row.commandId, systemId, body, bodyLength, Scheduler(), &decision)) {
        if (bind)
            m_faults.SetBindRefused(connection, false);
        return false;
    }
    if (!m_faultReportDue) {
        // The count goes to the console once per period of firing, never once per PDU.
        m_faultReportDue = true;
        Scheduler().After(kFaultReportMs, this, [this] { ReportFaults(); });
    }

    const bool closeAfter = decision.action == FaultAction::Close;
    switch (decision.action) {
    case FaultAction::Drop:
        if (bind)
            RefuseBind(index);
        return true;
    case FaultAction::Nack:
        if (bind)
            RefuseBind(index);
        AnswerWithStatus(index, kGenericNack, decision.status, sequence, kFilterGenericNack, decision.delayMs, false);
        return true;
    case FaultAction::Answer:
    case FaultAction::Close:
        break;
    }
    if (decision.status != kStatusOk) {
        // An error answer has no body, takes no message id, and leaves a bind refused.
        if (bind)
            RefuseBind(index);
        AnswerWithStatus(index, row.responseId, decision.status, sequence, row.responseFilterIndex, decision.delayMs,
                         closeAfter);
        return true;
    }

    // Served as usual, only late or followed by a close. unbind closes after its answer anyway,
    // so it is answered here and closed when its answer has gone.
    const bool unbind = row.handler == &CSmppServer::Unbind;
    if (bind)
        m_faults.SetBindRefused(connection, false);
    m_hold = Hold{decision.delayMs > 0, decision.delayMs, closeAfter || unbind};
    if (unbind)
        HeaderOnly(index, row, sequence, body, bodyLength);
    else
        Serve(index, row, sequence, body, bodyLength);
    const bool closeNow = !m_hold.active && m_hold.close;
    m_hold = Hold{};
    if (closeNow)
        CloseConnection(index);
    return true;
}

void CSmppServer::AnswerWithStatus(int index, uint32_t commandId, uint32_t status, uint32_t sequence,
                                   int32_t filterIndex, int64_t delayMs, bool close) {
    BeginResponse();
    m_hold = Hold{delayMs > 0, delayMs, close};
    SendResponse(index, commandId, status, sequence, kHeaderSize, filterIndex);
    m_hold = Hold{};
    if (close && delayMs <= 0)
        CloseConnection(index);
}

void CSmppServer::HoldResponse(int index, uint32_t length, int32_t filterIndex) {
    // The answer is built now, so it keeps the message id its request took; the connection is
    // looked up again by id when it is due, since its index may have moved or it may be gone.
    std::vector<uint8_t> pdu(m_response, m_response + length);
    const uint64_t connection = GetConnectionId(index);
    const bool close = m_hold.close;
    Scheduler().After(m_hold.delayMs, this, [this, connection, pdu = std::move(pdu), filterIndex, close] {
        SendHeld(connection, pdu, filterIndex, close);
    });
}

void CSmppServer::SendHeld(uint64_t connection, const std::vector<uint8_t>& pdu, int32_t filterIndex, bool close) {
    const int index = IndexOfConnection(connection);
    if (index < 0 || !SendAndCapture(index, pdu.data(), uint32_t(pdu.size()), filterIndex))
        return;
    if (close)
        CloseConnection(index);
}

void CSmppServer::RefuseBind(int index) {
    m_faults.SetBindRefused(GetConnectionId(index), true);
    if (NameOf(index)[0] == '\0')
        return;
    SetName(index, "");
    NotifyLoggedIn(index); // the online list shows the connection unbound again
}

void CSmppServer::ReportFaults() {
    m_faultReportDue = false;
    for (const std::string& line : m_faults.TakeReport(int(kFaultReportMs / 1000)))
        NotifyPrint(line);
}
