// Fault rules: the user's recipe for answering clients badly on purpose (refuse, throttle, delay,
// drop, close, nack), kept as JSON and matched against each request the SMPP server serves; a rule
// naming the UCP or CIMD2 protocol is the text servers' instead.
#pragma once

#include "engine/Scheduler.h"
#include "smpp/AnswerPolicy.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

enum class FaultAction {
    Answer, // the answer goes out, with the rule's status, after the rule's delay
    Drop,   // no answer at all
    Close,  // the answer, then the connection is closed
    Nack,   // generic_nack with the rule's status instead of the answer
};

// One rule as the user wrote it. Text fields are kept as typed so that a rule can be shown and
// stored again unchanged; CFaultRules compiles them.
struct FaultRule {
    QString protocol;    // the server it applies on by the registry's name: empty or "smpp", "ucp", "cimd2"
    QString command;     // an SMPP command name, "bind" for the three binds (a text protocol's login), empty for every message operation
    QString systemId;    // regular expression searched in the system id; empty matches everything
    QString destination; // regular expression searched in destination_addr; empty matches everything
    uint32_t status = 0; // command_status of the answer
    int64_t delayMs = 0;
    FaultAction action = FaultAction::Answer;
    double probability = 1;
    int32_t ratePerSecond = 0; // 0: no limit
    bool enabled = true;
    smpp::AnswerParameters parameters = {}; // SMPP 5.0's: told to sessions at 5.0 only

    bool operator==(const FaultRule&) const = default;
};

namespace fault_rules {

constexpr uint32_t kStatusThrottled = 0x00000058;
constexpr int64_t kMaxDelayMs = 24 * 3600 * 1000;
constexpr int64_t kRateWindowMs = 1000;
constexpr int32_t kMaxRate = INT32_MAX; // requests a second

// The protocols a rule may name, "smpp" (which an empty protocol means) first.
const std::vector<QString>& ProtocolNames();
// The command names a rule may carry, in the order the options page offers them ("" first).
const std::vector<QString>& CommandNames();
// A command_status as "0x0000000D"; read back from hex with 0x or decimal ("13"), false beyond
// 32 bits or for anything else.
QString StatusText(uint32_t status);
qulonglong ParseStatus(const QString& text, bool* ok);
// Whether the rule applies on the server of that protocol (the registry's name: "smpp", "ucp", "cimd2").
bool AppliesTo(const FaultRule& rule, std::string_view protocol);
// "answer", "drop", "close", "nack".
QString ActionName(FaultAction action);
const std::vector<QString>& ActionNames();


// Reads a JSON array of rule objects. On failure returns an empty list and sets error to a
// message naming the rule (1-based) and the field; error stays empty on success.
std::vector<FaultRule> Parse(const QByteArray& json, QString* error);
// Checks rules already in memory the same way (commands, actions, ranges, regular expressions).
QString Validate(const std::vector<FaultRule>& rules);
// Compact JSON that Parse reads back into the same rules; fields at their defaults are left out.
QByteArray ToJson(const std::vector<FaultRule>& rules);

} // namespace fault_rules

// What the first matching rule makes of one request.
struct FaultDecision {
    int rule = -1;        // 0-based position of the rule in the list as given
    FaultAction action = FaultAction::Answer;
    uint32_t status = 0;
    int64_t delayMs = 0;
    bool throttled = false; // above the rule's rate: answer at once with kStatusThrottled
    const smpp::AnswerParameters* parameters = nullptr; // the rule's, valid until the rules are set again
};

// The compiled rules of one SMPP server with what they remember per connection (rate windows,
// system id matches, a refused bind) and per rule (how often each fired since the last report).
// Plain data on the UI thread; the server asks it about every request it would answer while any
// rule is enabled. Probability draws come from one generator seeded by SetSeed, so the same
// traffic under the same seed meets the same faults.
class CFaultRules {
public:
    static constexpr int kRequestKinds = 14; // the requests a rule can name
    static constexpr size_t kMaxRules = 65535;

    // Replaces the rules (disabled ones are kept for their numbers but never match). Returns the
    // validation error and changes nothing when a rule is bad. Rate windows start afresh.
    QString SetRules(const std::vector<FaultRule>& rules);
    const std::vector<FaultRule>& Rules() const { return m_given; }
    void SetSeed(uint32_t seed) { m_random.seed(seed); }

    // True when no rule can match: the server's fast path.
    bool IsEmpty() const { return m_compiled.empty(); }

    // The first rule that matches the request on connection id, or false when none does. For a
    // bind systemId is the one it asks for, otherwise the connection's name; the destination is
    // read from the body (submit_sm, data_sm, cancel_sm; any destination of a submit_multi) and is
    // empty for requests that carry none. Counts the rule as fired.
    // The clock is read only for a rule with a rate.
    bool Decide(uint64_t connection, uint32_t commandId, std::string_view systemId, const uint8_t* body,
                int32_t bodyLength, const CScheduler& clock, FaultDecision* decision);

    // A bind refused by a rule is remembered until the connection binds or goes.
    void SetBindRefused(uint64_t connection, bool refused);
    bool BindRefused(uint64_t connection) const;
    void Forget(uint64_t connection);

    // One line per rule that fired since the last call ("\r\n"-terminated), and the counts
    // start again; empty when none fired.
    std::vector<std::string> TakeReport(int periodSeconds);

private:
    struct Compiled {
        int position;          // in m_given
        uint32_t commandMask;  // bits of the requests the rule names
        QRegularExpression systemId;
        QRegularExpression destination;
        bool anySystemId;
        bool anyDestination;
        double probability;
        int32_t ratePerSecond;
        FaultAction action;
        uint32_t status;
        int64_t delayMs;
        smpp::AnswerParameters parameters;
        uint64_t fired = 0;
        uint64_t throttled = 0;
    };
    struct RateWindow {
        int64_t startMs = 0;
        int32_t count = -1; // -1: no window yet
    };
    using Candidates = std::vector<uint16_t>; // compiled rules, in order
    struct Connection {
        // The connection's name changes only with a bind, so which rules pass on command and
        // system id is worked out once per kind of request and kept until then.
        std::string systemId;
        uint64_t generation = 0;
        Candidates candidates[kRequestKinds];
        bool known[kRequestKinds] = {};
        // The body of each kind, up to its last destination, that none of its candidates matched.
        std::string quietPrefix[kRequestKinds];
        bool quiet[kRequestKinds] = {};
        std::vector<RateWindow> windows; // per compiled rule
        bool bindRefused = false;
    };

    void FindCandidates(uint32_t bit, std::string_view systemId, Candidates* out) const;
    // The candidates of a kind of request on a connection, worked out once per name and rule list.
    const Candidates& KeptCandidates(Connection& state, uint32_t bit, std::string_view systemId);
    // The rate window of rule at on the connection: above its rate, the decision becomes throttled.
    void Throttle(Connection& state, size_t at, const CScheduler& clock, FaultDecision* decision);
    bool MatchesDestination(const Compiled& rule, size_t at);
    std::vector<uint8_t>* Known(std::string_view destination); // its memo entry
    // Reads the request's destinations once and finds what is known of each.
    void ReadDestinations(uint32_t commandId, const uint8_t* body, int32_t bodyLength);

    std::vector<FaultRule> m_given;
    std::vector<Compiled> m_compiled;
    uint32_t m_namedRequests = 0; // bits of the requests some rule names
    uint32_t m_lastCommandId = 0;
    uint32_t m_lastCommandBit = 0;
    uint64_t m_generation = 1;
    std::unordered_map<uint64_t, Connection> m_connections;
    // A destination meets the same answer from a rule's expression every time, and a test sends
    // to few of them: each one's matches (per compiled rule, 2 while not asked) are kept, up to
    // a bound, so that rules that do not match cost a look-up, not a search, per request.
    static constexpr size_t kDestinationMemoLimit = 4096;
    std::unordered_map<std::string, std::vector<uint8_t>> m_destinationMemo;
    std::vector<std::pair<std::string_view, std::vector<uint8_t>*>> m_destinations; // of the current request
    bool m_destinationsRead = false;
    std::string m_lastDestinationText;
    std::vector<uint8_t>* m_lastDestination = nullptr; // memo entry of m_lastDestinationText
    std::mt19937 m_random{std::random_device{}()};
};
