// The fault rules as the SMPP server's answer policy.
#pragma once

#include "smpp/AnswerPolicy.h"
#include "smpp/FaultRules.h"

#include <QObject>

#include <functional>
#include <string_view>

namespace smpp {

// Decides each answer by the first fault rule that matches its request, and refuses binds: an ESME
// whose bind a rule refused is told ESME_RINVBNDSTS for what it sends unbound, then closed. The
// console hears one line per firing rule every kReportMs, never one per request.
class CFaultPolicy : public IAnswerPolicy {
public:
    static constexpr int64_t kReportMs = 10000;
    using ReportSink = std::function<void(std::string_view line)>;

    explicit CFaultPolicy(ReportSink report) : m_report(std::move(report)) {}

    CFaultRules& Rules() { return m_rules; }

    bool IsActive() const override { return !m_rules.IsEmpty(); }
    AnswerDecision Decide(const PolicyRequest& request, CScheduler& scheduler) override;
    void Forget(uint64_t connectionId) override { m_rules.Forget(connectionId); }

private:
    void Report();

    CFaultRules m_rules;
    ReportSink m_report;
    QObject m_timerContext; // the report's timer dies with the policy
    bool m_reportDue = false;
};

} // namespace smpp
