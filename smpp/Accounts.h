// ESME accounts and session timers: who may bind, how, from where and how many times, and how long
// the SMSC waits on a session, kept as JSON and settings and applied by the SMPP server.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// One ESME account as the user wrote it. Text fields are kept as typed so that an account can be
// shown and stored again unchanged.
struct Account {
    // Bits of bindTypes.
    static constexpr uint8_t kTransmitter = 1, kReceiver = 2, kTransceiver = 4;
    static constexpr uint8_t kEveryBindType = kTransmitter | kReceiver | kTransceiver;

    QString systemId;                  // exact, at most 15 characters
    QString password;                  // exact, at most 8 characters
    uint8_t bindTypes = kEveryBindType;
    int32_t maxBinds = 0;              // connections bound under it at once; 0: no limit
    std::vector<QString> allowedAddresses; // IPv4 addresses or CIDR blocks; none: every address
    int32_t window = 0;                // its connection's requests whose answers are held back; 0: no cap
    std::optional<int32_t> enquireLinkSeconds; // overrides the sessions' setting; 0: never
    QString receiptProfile;            // a built-in receipt profile's name; empty: the run's profile

    bool operator==(const Account&) const = default;
};

// What the SMSC times on every session, from the "Sessions" options page. 0 turns a timer off.
struct SessionSettings {
    int32_t enquireLinkSeconds = 0;      // the SMSC's own enquire_link on a bound connection, every so often
    int32_t responseTimeoutSeconds = 10; // for the answer to its enquire_link or unbind, then it closes
    int32_t bindTimeoutSeconds = 0;      // a connection that has not bound by then is closed
    int32_t inactivitySeconds = 3600;    // a connection that sends nothing for so long is closed

    bool operator==(const SessionSettings&) const = default;
};

namespace accounts {

constexpr int32_t kMaxSeconds = 86400;
constexpr int32_t kMaxCount = 1'000'000; // binds and window
constexpr int kMaxSystemIdChars = 15;
constexpr int kMaxPasswordChars = 8;

// "transmitter", "receiver", "transceiver" by their bits, in that order.
struct BindTypeName {
    uint8_t bit;
    const char* name;
};
constexpr BindTypeName kBindTypeNames[] = {
    {Account::kTransmitter, "transmitter"},
    {Account::kReceiver,    "receiver"},
    {Account::kTransceiver, "transceiver"},
};


// Reads a JSON array of account objects. On failure returns nothing and sets error to a message
// naming the account (1-based, and its system id when it has one) and the field; error stays
// empty on success.
std::vector<Account> Parse(const QByteArray& json, QString* error);
// Checks accounts already in memory the same way; empty when all are good.
QString Validate(const std::vector<Account>& accounts);
// "Account 2 (esme1), "window": what", the form of every message about an account's field (number
// from 1; the system id when there is one).
QString FieldError(int number, const QString& systemId, const char* field, const QString& what);
// Compact JSON that Parse reads back into the same accounts; fields at their defaults are left out.
QByteArray ToJson(const std::vector<Account>& accounts);

// An address or CIDR block as the account keeps it, "127.0.0.1" or "10.0.0.0/8"; nothing when
// it is neither.
struct Block {
    uint32_t network;
    uint32_t mask;
};
std::optional<Block> ParseBlock(const QString& text);

} // namespace accounts
