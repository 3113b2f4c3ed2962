// What the fault rules make of each request the SMPP server answers.
#include "smpp/FaultPolicy.h"

#include "engine/Scheduler.h"
#include "smpp/SmppPdu.h"

namespace smpp {

namespace {

constexpr uint32_t kStatusInvalidBindStatus = 0x00000004; // ESME_RINVBNDSTS

using Kind = AnswerDecision::Kind;

} // namespace

AnswerDecision CFaultPolicy::Decide(const PolicyRequest& request, CScheduler& scheduler) {
    const uint64_t id = request.connectionId;
    if (!request.bind && !request.bound) {
        if (!m_rules.BindRefused(id))
            return {}; // the bound rule, as ever: closed without an answer
        // An ESME whose bind a rule refused is told why its request fails before the bound
        // rule closes the connection: that is the error path it is here to test.
        return {Kind::StatusOnly, request.responseId, request.responseFilterIndex, kStatusInvalidBindStatus, 0, true};
    }
    FaultDecision decision;
    if (!m_rules.Decide(id, request.commandId, request.systemId, request.body, request.bodyLength, scheduler,
                        &decision)) {
        if (request.bind)
            m_rules.SetBindRefused(id, false);
        return {};
    }
    if (!m_reportDue) {
        m_reportDue = true;
        scheduler.After(kReportMs, &m_timerContext, [this] { Report(); });
    }

    const bool closeAfter = decision.action == FaultAction::Close;
    // Anything but a plain answer leaves a bind refused: an error answer has no body and takes
    // no message id.
    const bool refused = decision.action == FaultAction::Drop || decision.action == FaultAction::Nack ||
                         decision.status != kStatusOk;
    if (request.bind)
        m_rules.SetBindRefused(id, refused);
    AnswerDecision answer;
    answer.refuseBind = request.bind && refused;
    answer.delayMs = decision.delayMs;
    answer.closeAfter = closeAfter;
    answer.parameters = decision.parameters;
    switch (decision.action) {
    case FaultAction::Drop:
        return {Kind::Drop, 0, 0, 0, 0, false, answer.refuseBind};
    case FaultAction::Nack:
        answer.kind = Kind::StatusOnly;
        answer.commandId = kGenericNack;
        answer.filterIndex = kFilterGenericNack;
        answer.status = decision.status;
        answer.closeAfter = false;
        return answer;
    case FaultAction::Answer:
    case FaultAction::Close:
        break;
    }
    if (decision.status != kStatusOk) {
        // An error in place of the answer, late or followed by a close as the rule says.
        answer.kind = Kind::StatusOnly;
        answer.commandId = request.responseId;
        answer.filterIndex = request.responseFilterIndex;
        answer.status = decision.status;
    }
    return answer;
}

void CFaultPolicy::Report() {
    m_reportDue = false;
    for (const std::string& line : m_rules.TakeReport(int(kReportMs / 1000)))
        m_report(line);
}

} // namespace smpp
