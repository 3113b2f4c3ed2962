// The packet list's model: one row per record of the capture log, read in place, added in batches.
#pragma once

#include "capture/PacketLog.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "decoder/PacketDecoder.h"

class CPacketPairs;

// Row k is record k of the capture log; the model keeps no copy of a record and works out each
// cell when a view asks for it, so only the rows on screen cost any formatting. It listens to
// the log: new records are only counted, and one insertion covering all of them follows on the
// next event-loop turn, so a burst of PDUs costs the view one layout; a wiped log resets the
// model at once. A response arriving changes its request's "Status" and "Latency" too; a request
// whose answer is late changes as time passes, read again when the list repaints on its answer
// clock. Reads the log, the decoder and the pairs, which outlive it. UI thread only.
//
// After the summary's columns come the field columns: "Destination" and "Source address" (the number fields of
// each protocol that has them), then one per field the user added by its stable name. A field column's cell is
// the field's value as the decode shows it (occurrences joined by ","), read from the typed decode lines; the
// model decodes a record once for all its field columns and keeps the values of the rows last read.
class CPacketListModel : public QAbstractTableModel, private CPacketLogListener {
    Q_OBJECT
public:
    enum Column {
        kSeq, kSourceIp, kSourcePort, kDescription, kLen, kTime, kStatus, kLatency, kDestination, kSourceAddress,
        kFixedColumnCount
    };
    // Data role: the record's index in the capture log (rows and records differ once a proxy filters).
    static constexpr int kRecordRole = Qt::UserRole;

    CPacketListModel(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs,
                     QObject* parent = nullptr);
    ~CPacketListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The longest text a column's cells are expected to hold, for sizing it: "Seq" grows with the capture.
    QString WidestText(int column) const;

    // Adds a column showing the field of that stable name ("smpp.data_coding") and returns it; the column it
    // has already when there is one; -1 for a name the decoder has no field of.
    int AddFieldColumn(const QString& name);
    // Removes a column AddFieldColumn added; false for any other column.
    bool RemoveFieldColumn(int column);
    bool IsAddedColumn(int column) const { return column >= kFixedColumnCount && column < columnCount(); }
    // Every field name the decoder has, as tarnwick-decode --list-fields lists them.
    QStringList KnownFields() const;
    // The fields of the added columns, in column order.
    QStringList AddedFields() const;

private:
    // "SMPP:submit_sm_resp": the protocol's name and the name of the command id at record offset 20,
    // "未知" for a name no table holds (every command of a protocol code without a table).
    QString Description(const PacketSummary& summary) const;
    // The value of field column `column` in `row`, decoding the record when its values are not kept.
    QString FieldValue(int row, int column) const;
    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;
    // Inserts rows for every record the model does not show yet, in one go.
    void AppendPending();

    CPacketLog& m_log; // read only; the reference is needed to listen
    const CPacketDecoder& m_decoder;
    const CPacketPairs& m_pairs;
    int m_rows = 0;
    bool m_appendQueued = false;
    // The field names each field column shows, from kDestination on.
    std::vector<std::vector<std::string>> m_fieldColumns;
    mutable CPacketDecoder m_fieldDecoder; // decodes for the field columns, apart from the program's decoder
    // Values of the field columns by record, for the rows last read; dropped whole when it grows past its cap.
    mutable std::unordered_map<int, std::vector<QString>> m_fieldValues;
};
