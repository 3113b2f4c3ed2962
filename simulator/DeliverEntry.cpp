// The deliver entry: its fixed-width texts, cut and terminated the same way wherever they are set.
#include "simulator/DeliverEntry.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsUtf8Continuation(char octet) { return (static_cast<uint8_t>(octet) & 0xC0) == 0x80; }

template <size_t N>
void CopyText(std::array<char, N>& field, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    size_t n = std::min(text.size(), N - 1);
    // A cut inside a character drops the whole character.
    while (n > 0 && n < text.size() && IsUtf8Continuation(text[n]))
        --n;
    std::copy_n(text.begin(), n, field.begin()); // an empty text may have no data at all
    field[n] = '\0';
}

template <size_t N>
std::string Bytes(const std::array<char, N>& field)
{
    return std::string(field.data(), strnlen(field.data(), N));
}

template <size_t N>
QString Text(const std::array<char, N>& field)
{
    return QString::fromUtf8(field.data(), static_cast<qsizetype>(strnlen(field.data(), N)));
}

} // namespace

DeliverEntry DeliverEntry::Make(std::string_view destSystemId, std::string_view shortMessage, int32_t count,
                                Kind kind)
{
    DeliverEntry entry;
    entry.first = static_cast<uint8_t>(kind);
    CopyText(entry.destSystemId, destSystemId);
    entry.SetShortMessage(shortMessage);
    entry.count = count;
    return entry;
}

DeliverEntry::Kind DeliverEntry::GetKind() const
{
    return first <= static_cast<uint8_t>(Kind::AlertNotification) ? static_cast<Kind>(first) : Kind::DeliverSm;
}

QString DeliverEntry::DestSystemIdText() const { return Text(destSystemId); }

QString DeliverEntry::ShortMessageText() const { return Text(shortMessage); }

std::string DeliverEntry::DestSystemId() const { return Bytes(destSystemId); }

std::string DeliverEntry::ShortMessage() const { return Bytes(shortMessage); }

void DeliverEntry::SetDestSystemId(std::string_view text) { CopyText(destSystemId, text); }

void DeliverEntry::SetShortMessage(std::string_view message)
{
    message = message.substr(0, message.find('\0'));
    text.assign(message);
    CopyText(shortMessage, message);
}
