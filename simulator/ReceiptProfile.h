// Receipt profiles: how a delivery receipt looks (its carrier, text, optional parameters and the form
// of the message id in its text) and how often each final state comes, kept as JSON and chosen by name.
#pragma once

#include "simulator/MessageStore.h"
#include "smpp/Accounts.h"
#include "smpp/DeliverPdu.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ReceiptProfile {
    enum class Carrier : uint8_t { DeliverSm, DataSm };
    // How the text's {id} writes the message id; receipted_message_id always carries it as the
    // submit's answer gave it, since that is the id the ESME matches the receipt by.
    enum class IdForm : uint8_t {
        AsAnswered, // as in the submit's answer
        Hex,        // a decimal id written in hex, upper case ("000026" becomes "1A")
        Decimal,    // a hex id written in decimal ("00001A" becomes "26")
    };
    struct Weight {
        MessageState state;
        int32_t weight;
        bool operator==(const Weight&) const = default;
    };

    QString name = "Default"; // a built-in's name, or "Custom"
    Carrier carrier = Carrier::DeliverSm;
    // Fields in braces: {id} {sub} {dlvrd} {submit_date} {done_date} {stat} {err} {text}. Empty: the
    // receipt has no text at all, only its optional parameters.
    QString text = "id:{id} sub:{sub} dlvrd:{dlvrd} submit date:{submit_date} done date:{done_date} stat:{stat} "
                   "err:{err} text:{text}";
    bool receiptedMessageId = true; // 0x001E
    bool messageState = true;       // 0x0427
    bool networkErrorCode = false;  // 0x0423: GSM, then the error
    IdForm idForm = IdForm::AsAnswered;
    // The final state of a message no simulator refused, drawn by weight; none: delivered.
    std::vector<Weight> mix;

    bool operator==(const ReceiptProfile&) const = default;
};

// What a receipt's text and optional parameters say about one message; the texts are the caller's.
struct ReceiptFacts {
    std::string_view messageId; // as the submit's answer gave it
    MessageState state = MessageState::Delivered;
    uint8_t error = 0;
    std::string_view submitDate, doneDate; // YYMMDDhhmm
    std::string_view text;                 // the first 20 characters of the message
    // Of the session the receipt goes to: below 5.0 its 5.0 states are UNKNOWN, below 3.4 it has a text.
    uint8_t version = protocol::smpp::interface_version::kServed;
};

namespace receipt_profiles {

constexpr const char* kCustom = "Custom";
// The names of ReceiptProfile::Carrier and ReceiptProfile::IdForm, by value, as the JSON and the window say them.
constexpr const char* kCarrierNames[] = {"deliver_sm", "data_sm"};
constexpr const char* kIdFormNames[] = {"answer", "hex", "decimal"};

// The optional parameters a profile may add, by their SMPP names, in the order a receipt carries them.
struct TlvChoice {
    bool ReceiptProfile::*flag;
    const char* name;
};
constexpr TlvChoice kTlvs[] = {
    {&ReceiptProfile::receiptedMessageId, "receipted_message_id"},
    {&ReceiptProfile::messageState,       "message_state"},
    {&ReceiptProfile::networkErrorCode,   "network_error_code"},
};
constexpr int32_t kMaxWeight = 1'000'000;

// "Default", "TLV only", "data_sm receipts", "hex ids in text", in the order the options page offers them.
const std::vector<ReceiptProfile>& BuiltIns();
std::optional<ReceiptProfile> BuiltIn(const QString& name);

// The error code a receipt of a drawn state carries: DELIVRD 0, UNDELIV 1 (as a simulator's refusal
// gives), EXPIRED 27 (absent subscriber, GSM's usual reason a message outlives its validity),
// REJECTD 13 (barred), SCHEDLD and SKIPPED 0 (nothing failed: not yet sent, or left out on purpose).
uint8_t ErrorOf(MessageState state);
// The states a mix may draw, in the order draws count them. SCHEDLD and SKIPPED are SMPP 5.0's: a
// session below 5.0 is told them as UNKNOWN, as query_sm tells them.
const std::vector<MessageState>& MixStates();
// The text a receipt to a session at this interface version is written from. One below 3.4 is sent no
// optional parameter (the outbox takes them off), so a profile without text gives it the default text:
// the receipt's id and state are read from there.
const QString& TextFor(const ReceiptProfile& profile, uint8_t version);
// The state a session at this interface version is told: SMPP 5.0's own are UNKNOWN below 5.0.
MessageState StateFor(MessageState state, uint8_t version);

// One JSON object. "name": a built-in's name starts from that built-in, "Custom" (or no name) from
// the default; the other fields change it: "carrier" ("deliver_sm", "data_sm"), "text", "tlvs" (a
// list of "receipted_message_id", "message_state", "network_error_code"), "idForm" ("answer", "hex",
// "decimal"), "states" ({"DELIVRD": 90, "UNDELIV": 10}). On failure returns nothing and sets error
// to a message naming the field; error stays empty on success.
std::optional<ReceiptProfile> Parse(const QByteArray& json, QString* error);
// Checks a profile already in memory the same way; empty when good.
QString Validate(const ReceiptProfile& profile);
// Compact JSON with every field, which Parse reads back into the same profile.
QByteArray ToJson(const ReceiptProfile& profile);

// The weights as the options page shows them, "DELIVRD 90, UNDELIV 10"; and read back, the error
// naming the state or number it cannot use.
QString MixText(const std::vector<ReceiptProfile::Weight>& mix);
std::vector<ReceiptProfile::Weight> ParseMix(const QString& text, QString* error);

// The first account whose receiptProfile names no built-in, as "Account 2 (esme1), "receiptProfile":
// ..."; empty when every one names one or none.
QString CheckAccounts(const std::vector<Account>& accounts);

// The receipt's text with the facts put in its fields (the id in the profile's form); empty for a
// profile without text, unless the session is below 3.4.
std::string Text(const ReceiptProfile& profile, const ReceiptFacts& facts);
// The same written over out, whose room is kept.
void WriteText(const ReceiptProfile& profile, const ReceiptFacts& facts, std::string& out);
// The optional parameters the profile adds, in the order kTlvs lists them. receipted_message_id is
// the id the submit's answer gave, whatever form the text writes it in: it is what the ESME matches
// the receipt by.
std::vector<smpp::Tlv> Tlvs(const ReceiptProfile& profile, const ReceiptFacts& facts);
// The same written over out, whose parameters' room is kept.
void WriteTlvs(const ReceiptProfile& profile, const ReceiptFacts& facts, std::vector<smpp::Tlv>& out);
// The message id in a form.
std::string IdIn(ReceiptProfile::IdForm form, const std::string& messageId);

} // namespace receipt_profiles
