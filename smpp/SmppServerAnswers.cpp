// CSmppServer's answers as the answer policy decides them: sent, held, followed by a close or
// dropped; a bind the policy refused leaves its connection unbound.
#include "smpp/SmppServer.h"

#include "smpp/BodyReader.h"

#include <string_view>

using namespace smpp;

CSmppServer::Delivery CSmppServer::Judge(CConnection& connection, const Request& request) {
    const DispatchRow& row = request.row;
    // What the server never answers meets no policy.
    if (!row.judged)
        return {};
    smpp::PolicyRequest asked;
    asked.connectionId = connection.Id();
    asked.commandId = row.commandId;
    asked.responseId = row.responseId;
    asked.responseFilterIndex = row.responseFilterIndex;
    asked.bind = KindOfBind(row.commandId) != BindKind::None;
    asked.bound = connection.IsNamed();
    asked.systemId = asked.bind ? LeadingText(request.body, request.bodyLength, kMaxSystemIdChars)
                                : std::string_view(connection.Name());
    asked.body = request.body;
    asked.bodyLength = request.bodyLength;
    const Delivery delivery = m_policy->Decide(asked, Scheduler());
    if (delivery.refuseBind)
        RefuseBind(connection);
    return delivery;
}

void CSmppServer::Deliver(CConnection& connection, const Answer& answer, const Delivery& delivery) {
    if (!answer.Present())
        return;
    const bool close = delivery.closeAfter || answer.closeAfter;
    if (delivery.delayMs > 0) {
        ++SmppSession::Of(connection).held;
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
    --SmppSession::Of(*connection).held;
    if (!SendAndCapture(*connection, pdu.data(), uint32_t(pdu.size()), filterIndex))
        return;
    if (close)
        CloseConnection(*connection);
}

void CSmppServer::RefuseBind(CConnection& connection) {
    if (!connection.IsNamed())
        return;
    connection.SetName("");
    NotifyLoggedIn(connection); // the online list shows the connection unbound again
}
