// CSmppServer's answers as the answer policy decides them: sent, held, followed by a close or
// dropped; a bind the policy refused leaves its connection unbound.
#include "smpp/SmppServer.h"

#include "protocol/SmppFields.h"
#include "smpp/BodyReader.h"

#include <algorithm>
#include <array>
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

void CSmppServer::AddParameters(const CConnection& connection, Answer& answer, const AnswerParameters* parameters) {
    const SmppSession& session = SmppSession::Of(connection);
    // Only SMPP 5.0 knows them, and a generic_nack is the header alone.
    if (session.version < protocol::smpp::interface_version::k50 || !answer.Present() || answer.CommandId() == kGenericNack)
        return;
    const AnswerParameters none;
    const AnswerParameters& asked = parameters ? *parameters : none;
    int32_t congestion = asked.congestionState;
    if (session.window > 0 && session.held > 0) // answers held back fill the window: that is load
        congestion = std::max(congestion, std::min<int32_t>(100, session.held * 100 / session.window));
    const bool reasons = answer.CommandId() == kSubmitSmResp || answer.CommandId() == kDataSmResp;
    AnswerParameters congestionOnly;
    congestionOnly.congestionState = asked.congestionState;
    const bool anyReason = reasons && !(congestionOnly == asked);
    if (congestion < 0 && !anyReason)
        return;
    if (answer.HeaderOnly() && ReadBe32(answer.Pdu() + kStatusOffset) != kStatusOk) {
        // An error answer is the header alone, where parameters need the body before them: an empty message_id
        // for the two that open with one, and none at all for the rest.
        if (!reasons)
            return;
        wire::Writer body = answer.Body();
        body.U8(0);
        answer.EndBody(body);
    }
    const auto octet = [&](uint16_t tag, int32_t value) {
        if (value >= 0)
            answer.AppendTlv(tag, std::array{uint8_t(value)});
    };
    octet(kTagCongestionState, congestion);
    if (!reasons) // the rest go with the answer to a message only
        return;
    const std::string& text = asked.additionalStatusInfoText;
    if (!text.empty()) // a C string: its NUL is part of the value
        answer.AppendTlv(kTagAdditionalStatusInfoText, {reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1});
    octet(kTagDeliveryFailureReason, asked.deliveryFailureReason);
    octet(kTagDpfResult, asked.dpfResult);
    if (const int32_t code = asked.networkErrorCode; code >= 0)
        answer.AppendTlv(kTagNetworkErrorCode, std::array{uint8_t(code >> 16), uint8_t(code >> 8), uint8_t(code)});
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
