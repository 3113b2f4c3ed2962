// A short message prepared for pushing to a client, as the deliver composers keep it and the senders send it.
#pragma once

#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// One prepared message. Its first 347 octets are laid out as the deliver entry: a first octet naming the
// command (Kind), the destination system id (66 octets; the terminal number on the mobile page) and the
// short message (276 octets), each NUL-terminated text, and a signed 32-bit count: how many copies each
// send produces. Every other field of the composer follows in fields, whose message stays empty: the
// text is encoded by its data_coding only when the entry is sent. The short message in the layout is what
// the list shows; text holds the whole message, of any length, and is what is sent, in the parts split
// asks for when it does not fit one short message.
struct DeliverEntry {
    enum class Kind : uint8_t { DeliverSm, DataSm, AlertNotification };

    uint8_t first = 0;
    std::array<char, 66> destSystemId{};
    std::array<char, 276> shortMessage{};
    int32_t count = 0;
    smpp::DeliverFields fields;
    std::string text;
    smpp::SplitOption split = smpp::SplitOption::Udh8;

    // An entry from the given field bytes; each is cut to leave room for its terminating NUL, never in the
    // middle of a UTF-8 character, and a NUL inside the bytes ends the text there.
    static DeliverEntry Make(std::string_view destSystemId, std::string_view shortMessage, int32_t count,
                             Kind kind = Kind::DeliverSm);

    Kind GetKind() const;
    // The texts up to their NUL, read as UTF-8.
    QString DestSystemIdText() const;
    QString ShortMessageText() const;
    std::string DestSystemId() const;
    std::string ShortMessage() const;
    // Replace a text, cut and terminated as in Make; the short message's whole text goes in text.
    void SetDestSystemId(std::string_view text);
    void SetShortMessage(std::string_view text);

    static constexpr size_t kMaxShortMessageOctets = sizeof(shortMessage) - 1;
};
