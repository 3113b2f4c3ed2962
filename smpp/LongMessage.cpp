// Cutting a long message into parts, and knowing a part by its header.
#include "smpp/LongMessage.h"

#include "protocol/DataCoding.h"
#include "protocol/SmppFields.h"

#include <algorithm>
#include <atomic>

namespace smpp {

namespace {

constexpr uint8_t kIeConcat8 = 0x00;
constexpr uint8_t kIeConcat16 = 0x08;
using protocol::smpp::kTagSarMsgRefNum;
using protocol::smpp::kTagSarSegmentSeqnum;
using protocol::smpp::kTagSarTotalSegments;

constexpr std::size_t kUserDataOctets = 140; // one short message's user data
constexpr std::size_t kUserDataSeptets = kUserDataOctets * 8 / 7;

struct OptionRow {
    SplitOption option;
    const char* name;
    const char* label;
};
constexpr OptionRow kOptionRows[] = {
    {SplitOption::Udh8, "udh8", "UDH, 8-bit reference"},
    {SplitOption::Udh16, "udh16", "UDH, 16-bit reference"},
    {SplitOption::Sar, "sar", "SAR parameters"},
    {SplitOption::Payload, "payload", "One message_payload"},
};

// The 7-bit alphabets travel one septet per octet here, so a septet budget is an octet budget.
bool SevenBit(uint8_t dataCoding) {
    return dataCoding == protocol::data_coding::kDefault || dataCoding == protocol::data_coding::kIa5;
}

std::size_t HeaderOctets(SplitOption option) {
    switch (option) {
    case SplitOption::Udh8: return 6;
    case SplitOption::Udh16: return 7;
    case SplitOption::Sar:
    case SplitOption::Payload: break;
    }
    return 0;
}

std::vector<uint8_t> Header(SplitOption option, uint16_t reference, std::size_t total, std::size_t seq) {
    const auto t = static_cast<uint8_t>(total), s = static_cast<uint8_t>(seq);
    if (option == SplitOption::Udh16)
        return {0x06, kIeConcat16, 0x04, static_cast<uint8_t>(reference >> 8), static_cast<uint8_t>(reference), t, s};
    return {0x05, kIeConcat8, 0x03, static_cast<uint8_t>(reference), t, s};
}

} // namespace

std::size_t CharacterOctets(const uint8_t* text, std::size_t size, uint8_t dataCoding) {
    std::size_t length = 1;
    switch (dataCoding) {
    case protocol::data_coding::kUcs2:
        length = size >= 4 && (text[0] & 0xFC) == 0xD8 && (text[2] & 0xFC) == 0xDC ? 4 : 2;
        break;
    case protocol::data_coding::kGbk: length = text[0] >= 0x81 && text[0] <= 0xFE ? 2 : 1; break;
    case protocol::data_coding::kDefault: length = text[0] == 0x1B ? 2 : 1; break;
    case protocol::data_coding::kIa5:
    case protocol::data_coding::kLatin1: break;
    default:
        if ((text[0] & 0xE0) == 0xC0)
            length = 2;
        else if ((text[0] & 0xF0) == 0xE0)
            length = 3;
        else if ((text[0] & 0xF8) == 0xF0)
            length = 4;
        for (std::size_t i = 1; i < length && i < size; ++i)
            if ((text[i] & 0xC0) != 0x80)
                length = 1; // not a sequence: octet by octet
    }
    return std::min(length, size);
}

std::size_t FirstCharacters(const uint8_t* text, std::size_t size, uint8_t dataCoding, std::size_t characters,
                            std::size_t maxOctets) {
    std::size_t at = 0;
    for (std::size_t taken = 0; taken < characters && at < size; ++taken) {
        const std::size_t length = CharacterOctets(text + at, size - at, dataCoding);
        if (at + length > maxOctets)
            break;
        at += length;
    }
    return at;
}

std::string_view NameOf(SplitOption option) {
    for (const OptionRow& row : kOptionRows) {
        if (row.option == option)
            return row.name;
    }
    return kOptionRows[0].name;
}

std::optional<SplitOption> SplitOptionNamed(std::string_view name) {
    for (const OptionRow& row : kOptionRows) {
        if (name == row.name)
            return row.option;
    }
    return std::nullopt;
}

const char* LabelOf(SplitOption option) {
    for (const OptionRow& row : kOptionRows) {
        if (row.option == option)
            return row.label;
    }
    return kOptionRows[0].label;
}

SplitResult Split(const std::vector<uint8_t>& octets, uint8_t dataCoding, SplitOption option, uint16_t reference) {
    const bool sevenBit = SevenBit(dataCoding);
    const std::size_t whole = sevenBit ? kUserDataSeptets : kUserDataOctets;
    SplitResult result;
    if (octets.size() <= whole || option == SplitOption::Payload) {
        result.parts.push_back({octets, false, octets.size() > whole, {}});
        return result;
    }
    // The header takes whole septets: 6 octets are 7 septets, 7 octets 8.
    const std::size_t header = HeaderOctets(option);
    const std::size_t budget = whole - (sevenBit ? (header * 8 + 6) / 7 : header);
    std::vector<std::vector<uint8_t>> bodies;
    for (std::size_t at = 0; at < octets.size();) {
        std::vector<uint8_t> body;
        while (at < octets.size()) {
            const std::size_t n = CharacterOctets(octets.data() + at, octets.size() - at, dataCoding);
            if (body.size() + n > budget)
                break;
            body.insert(body.end(), octets.begin() + std::ptrdiff_t(at), octets.begin() + std::ptrdiff_t(at + n));
            at += n;
        }
        bodies.push_back(std::move(body));
    }
    const std::size_t total = bodies.size();
    if (total > kMaxParts) {
        result.error = "needs " + std::to_string(total) + " parts; a long message has at most " +
                       std::to_string(kMaxParts);
        return result;
    }
    for (std::size_t seq = 1; seq <= total; ++seq) {
        MessagePart part;
        std::vector<uint8_t>& body = bodies[seq - 1];
        if (option == SplitOption::Sar) {
            part.message = std::move(body);
            part.tlvs = {{kTagSarMsgRefNum, {static_cast<uint8_t>(reference >> 8), static_cast<uint8_t>(reference)}},
                         {kTagSarTotalSegments, {static_cast<uint8_t>(total)}},
                         {kTagSarSegmentSeqnum, {static_cast<uint8_t>(seq)}}};
        } else {
            part.message = Header(option, reference, total, seq);
            part.message.insert(part.message.end(), body.begin(), body.end());
            part.udhi = true;
        }
        result.parts.push_back(std::move(part));
    }
    return result;
}

uint16_t NextReference() {
    static std::atomic<uint16_t> next{1};
    return next++;
}

DeliverFields WithPart(DeliverFields base, const MessagePart& part) {
    base.message = part.message;
    base.messagePayload = base.messagePayload || part.inPayload;
    if (part.udhi)
        base.esmClass |= protocol::smpp::kEsmClassUdhi;
    base.tlvs.insert(base.tlvs.end(), part.tlvs.begin(), part.tlvs.end());
    return base;
}

bool StartsWithConcatenationHeader(const uint8_t* octets, std::size_t length) {
    if (length < 1 || std::size_t(octets[0]) + 1 > length)
        return false;
    const std::size_t end = std::size_t(octets[0]) + 1;
    // Every element must fit the header; the first concatenation element decides.
    for (std::size_t at = 1; at + 2 <= end;) {
        const uint8_t ie = octets[at], ieLength = octets[at + 1];
        const std::size_t value = at + 2;
        if (value + ieLength > end)
            return false;
        const std::size_t wanted = ie == kIeConcat8 ? 3 : ie == kIeConcat16 ? 4 : 0;
        if (wanted != 0) {
            if (ieLength != wanted)
                return false;
            const uint8_t total = octets[value + wanted - 2], seq = octets[value + wanted - 1];
            return total >= 2 && seq >= 1 && seq <= total;
        }
        at = value + ieLength;
    }
    return false;
}

} // namespace smpp
