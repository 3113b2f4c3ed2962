// The packet list's model: one row per record of the capture log, read in place, added in batches.
#pragma once

#include "capture/PacketLog.h"

#include <cstdint>

#include <QAbstractTableModel>

class CPacketDecoder;
class CPacketPairs;

// Row k is record k of the capture log; the model keeps no copy of a record and works out each
// cell when a view asks for it, so only the rows on screen cost any formatting. It listens to
// the log: new records are only counted, and one insertion covering all of them follows on the
// next event-loop turn, so a burst of PDUs costs the view one layout; a wiped log resets the
// model at once. A response arriving changes its request's "Status" and "Latency" too; a request
// whose answer is late changes as time passes (RefreshAnswers). Reads the log, the decoder and the
// pairs, which outlive it. UI thread only.
class CPacketListModel : public QAbstractTableModel, private CPacketLogListener {
    Q_OBJECT
public:
    enum Column { kSeq, kSourceIp, kSourcePort, kDescription, kLen, kTime, kStatus, kLatency, kColumnCount };
    // Data role: the record's index in the capture log (rows and records differ once a proxy filters).
    static constexpr int kRecordRole = Qt::UserRole;

    CPacketListModel(CPacketLog& log, const CPacketDecoder& decoder, const CPacketPairs& pairs,
                     QObject* parent = nullptr);
    ~CPacketListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Tells the views that "Status" and "Latency" may read differently now: every row, since an
    // answer that did not come turns into "no answer" by time alone.
    void RefreshAnswers();

private:
    // "SMPP:submit_sm_resp": the protocol's name and the name of the command id at record offset 20,
    // "未知" for a name no table holds (every command of a protocol code without a table).
    QString Description(const PacketSummary& summary) const;
    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;
    // Inserts rows for every record the model does not show yet, in one go.
    void AppendPending();

    CPacketLog& m_log; // read only; the reference is needed to listen
    const CPacketDecoder& m_decoder;
    const CPacketPairs& m_pairs;
    int m_rows = 0;
    bool m_appendQueued = false;
};
