// The deliver list: the short messages prepared for pushing to a client, and the table the page shows of them.
#pragma once

#include "smpp/DeliverPdu.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One prepared message. Its first 347 octets are laid out as the deliver entry: a first octet naming the
// command (Kind), the destination system id (66 octets; the terminal number on the mobile page) and the
// short message (276 octets), each NUL-terminated text, and a signed 32-bit count: how many copies each
// send produces. Every other field of the composer follows in fields, whose message stays empty: the
// text is encoded by its data_coding only when the entry is sent.
struct DeliverEntry {
    enum class Kind : uint8_t { DeliverSm, DataSm, AlertNotification };

    uint8_t first = 0;
    std::array<char, 66> destSystemId{};
    std::array<char, 276> shortMessage{};
    int32_t count = 0;
    smpp::DeliverFields fields;

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
    // Replace a text, cut and terminated as in Make.
    void SetDestSystemId(std::string_view text);
    void SetShortMessage(std::string_view text);

    static constexpr size_t kMaxShortMessageOctets = sizeof(shortMessage) - 1;
};

// Owns the deliver list (the only copy of its entries, kept in insertion order) and shows entry i as row i:
// "Seq" i + 1, "Count", "Dest system id", "Short Message" and "Len", the characters of the short message up to
// its NUL. Every row carries the deliver-list icon and its entry index as Qt::UserRole. UI thread only.
class CDeliverListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kSeq, kCount, kDestSystemId, kShortMessage, kLen, kColumnCount };
    // Column widths in pixels, by Column.
    static constexpr std::array<int, kColumnCount> kColumnWidths = {50, 80, 100, 250, 50};

    explicit CDeliverListModel(QObject* parent = nullptr);

    const std::vector<DeliverEntry>& Entries() const { return m_entries; }
    void Append(const DeliverEntry& entry);
    // Replaces entry index; an index outside the list changes nothing.
    void Replace(int index, const DeliverEntry& entry);
    // Removes the entries at the given indexes (any order, duplicates allowed); the rest keep their order.
    void Remove(std::vector<int> indexes);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<DeliverEntry> m_entries;
};
