// The fault rules of one text protocol: the user's rules that name it, matched against its logins and messages.
#pragma once

#include "smpp/FaultRules.h"

#include <QRegularExpression>

#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

// Compiled from the whole list, keeping the rules whose protocol is this server's; plain data on the UI thread.
// A login rule ("bind") is matched against the name the login asks for, a message rule against the
// connection's name and the message's destination. Probability draws come from one generator, seeded as the
// SMPP server's is, so that the same traffic under the same seed meets the same faults.
class CTextFaults {
public:
    struct Decision {
        FaultAction action = FaultAction::Answer;
        uint32_t status = 0; // the protocol's own error code; 0: the answer as the server gives it
        int64_t delayMs = 0;
    };

    explicit CTextFaults(std::string_view protocol) : m_protocol(protocol) {}

    void SetRules(const std::vector<FaultRule>& rules);
    void SetSeed(uint32_t seed) { m_random.seed(seed); }
    // The first enabled rule of this protocol that takes the operation, if any.
    std::optional<Decision> Decide(bool login, std::string_view name, std::string_view destination);

private:
    struct Compiled {
        bool login;
        QRegularExpression name;
        QRegularExpression destination;
        double probability;
        Decision decision;
    };

    std::string_view m_protocol;
    std::vector<Compiled> m_compiled;
    std::mt19937 m_random{std::random_device{}()};
};
