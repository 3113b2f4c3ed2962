// CTextFaults: a text protocol's share of the fault rules, compiled and matched.
#include "textserver/TextFaults.h"

namespace {

// An empty pattern takes everything; so does a pattern found anywhere in the text.
bool Takes(const QRegularExpression& pattern, std::string_view text) {
    return pattern.pattern().isEmpty() ||
           pattern.match(QString::fromLatin1(text.data(), qsizetype(text.size()))).hasMatch();
}

} // namespace

void CTextFaults::SetRules(const std::vector<FaultRule>& rules) {
    m_compiled.clear();
    const auto options = QRegularExpression::DontCaptureOption;
    for (const FaultRule& r : rules) {
        if (!r.enabled || !fault_rules::AppliesTo(r, m_protocol))
            continue;
        m_compiled.push_back({r.command == "bind", QRegularExpression(r.systemId, options),
                              QRegularExpression(r.destination, options), r.probability,
                              {r.action, r.status, r.delayMs}});
    }
}

std::optional<CTextFaults::Decision> CTextFaults::Decide(bool login, std::string_view name,
                                                         std::string_view destination) {
    for (const Compiled& rule : m_compiled) {
        if (rule.login != login || !Takes(rule.name, name) || !Takes(rule.destination, destination))
            continue;
        // A rule that does not fire this time leaves the operation to the rules after it.
        if (rule.probability < 1 && std::uniform_real_distribution<double>(0, 1)(m_random) >= rule.probability)
            continue;
        return rule.decision;
    }
    return std::nullopt;
}
